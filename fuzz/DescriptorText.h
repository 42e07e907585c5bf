#pragma once

#include "driver/ItemDescriptor.h"

#include <string>

// The wire form of a parsed descriptor, every field and caption written out, so that parsing
// it again must give the same descriptor.
namespace kelvra::fuzz {

template <typename Captions> std::string JoinCaptions(const Captions& captions) {
    std::string text;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        text += (i == 0 ? "" : ";") + captions[i];
    }
    return text;
}

inline std::string DescriptorText(const ItemDescriptor& item) {
    return item.Name + "\t" + std::to_string(item.ID) + "\t" + item.Type + "\t" +
           std::to_string(item.Size) + "\t" + std::to_string(item.Flags) + "\t" + item.Definition +
           "\t" + item.Help + "\t" + JoinCaptions(item.Selection);
}

inline std::string DescriptorText(const FieldDescriptor& field) {
    return std::to_string(field.ID) + "\t" + field.Type + "\t" + field.Definition + "\t" +
           field.Help + "\t" + JoinCaptions(field.Selection);
}

} // namespace kelvra::fuzz
