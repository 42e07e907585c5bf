#pragma once

#include <span>

namespace kelvra {

// The pages of the console's tab control, in tab order. Buttons outside the pages ("Get",
// "Clear") sit under the result box.
enum class Page { General = 0, Items = 1, Extra = 2, BellTable = 3, BelowPages = -1 };

inline constexpr int kNoButton = -1;

// What a group holds: buttons and boxes from the tables below, or one of the panels that are
// laid out by hand because they are not rows of boxes and buttons. The group's controls stand
// in one grid, so the buttons of a group are one width and its boxes line up:
// - Table: the buttons fill the group's button columns row by row; a box stands, with its
//   label, in the cells before the buttons beside it (so it has more button columns than any
//   of its boxes has buttons beside it), or across the row when none are.
// - Form: labels, boxes and buttons each have columns of their own, the buttons last; a
//   button that no box stands before takes the next cell of the button columns.
enum class GroupContent { Table, Form, ConnectionPanel, BellControls, BellEntries };

// A group of controls on a page: a frame with a caption, or an unframed area when the caption
// is empty. Position and span are cells of the page's grid.
struct ConsoleGroup {
    Page page;
    const char* caption;
    GroupContent content;
    int row;
    int column;
    int rowSpan;
    int columnSpan;
    int buttonColumns; // buttons that stand in a run are laid out in this many columns
};

// SendLine: a one-line box whose text the button beside it sends; Enter in it presses that
// button. Tab in a MultiLine box moves on to the next control, as everywhere else.
enum class BoxKind { Line, SendLine, MultiLine, Check };

// An input box with its label. It is laid out on its own row in front of the button `before`
// together with the `beside` buttons that follow it; a box without `before` goes after the
// group's buttons. A spinner steps the number between `lowest` and `highest` by `step`
// (0: no spinner) and leaves the box freely editable.
struct ConsoleBox {
    const char* name;
    Page page;
    const char* group;
    const char* label;
    const char* initial;
    BoxKind kind;
    int before;
    int beside;
    int lowest = 0;
    int highest = 0;
    int step = 0;
    const char* suffix = "";
};

std::span<const char* const> PageCaptions();
std::span<const ConsoleGroup> ConsoleGroups();
std::span<const ConsoleBox> ConsoleBoxes();

} // namespace kelvra
