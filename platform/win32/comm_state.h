#pragma once
// The line settings and time-outs as the Windows communications functions
// take them: a whole device control block and COMMTIMEOUTS, every field set
// by us, so that a device ends up with exactly these values whatever it had.

#include <windows.h>

#include "platform/port_settings.h"

namespace tillgate {

// Every field of the DCB, the reserved ones zero. The line's defaults give
// 9600 8N1, DTR enabled, RTS toggled by the driver, no flow control, the
// XON/XOFF characters "0" and "1", error "2", end "3", event 0x01.
DCB DcbFor(const LineSettings& settings);
// What a device reports, as line settings.
LineSettings LineSettingsFrom(const DCB& dcb);

// The time-outs of a read (interval, total multiplier and constant) and a
// write (total multiplier and constant), in milliseconds. A read without any
// time-out would wait for its last byte for ever under Windows; it returns
// at once with what is there instead, as it does elsewhere.
COMMTIMEOUTS CommTimeoutsFor(const ReadTimeouts& read, const WriteTimeouts& write);
// A read that returns at once with the bytes already received.
COMMTIMEOUTS ImmediateReadTimeouts(const WriteTimeouts& write);

bool SameTimeouts(const COMMTIMEOUTS& a, const COMMTIMEOUTS& b);

}  // namespace tillgate
