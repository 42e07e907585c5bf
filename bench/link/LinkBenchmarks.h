#pragma once

#include "SimulatedTerminal.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::bench {

using test::Link;
using test::LinkName;

// Each benchmark stands a driver on the Qt platform against an in-process simulator on its
// own loopback address, prints its figures as labelled lines on stdout and returns false when
// the run itself went wrong (a command failed, a record was lost), so its figures mean nothing.

// Each takes `wake`: the driver's WakeOnReply, off (every reply at the end of its 50 ms
// pass) or on (the moment it is complete).

// EchoTest round trips: mean and median against the 50 ms polling pass.
bool RunRoundTrip(Link link, const std::string& address, int iterations, bool wake);

// Processor time while one command waits out a 3000 ms time-out against a silent terminal.
bool RunWaitCpu(Link link, const std::string& address, bool wake);

// A record download inside the read transaction, two commands a record; `serialBaud` paces
// the simulator's serial line (0: unpaced) and then the line's share is printed too.
bool RunDownload(Link link, const std::string& address, int records, int serialBaud, bool wake);

// Records pushed in real-time mode and confirmed from the event handler; `serialBaud` paces the
// simulator's serial line (0: unpaced).
bool RunRealTime(Link link, const std::string& address, int records, int serialBaud);

// Something that watches the driver for the length of a run (the console's traffic panel);
// it is released when the run ends.
using DriverWatch = std::function<std::shared_ptr<void>(ucKelvra&)>;

// The same run with `watch` attached before the records come; prints its line with `setting`
// in the label and returns the records per second, or nothing when the run went wrong.
std::optional<double> MeasureRealTime(Link link, const std::string& address, int records,
                                      int serialBaud, const DriverWatch& watch,
                                      const std::string& setting);

// Milliseconds.
double Median(std::vector<double> values);
double Mean(const std::vector<double>& values);

} // namespace kelvra::bench
