#include "platform/win32/comm_state.h"

namespace tillgate {

DCB DcbFor(const LineSettings& settings) {
  DCB dcb;
  ZeroMemory(&dcb, sizeof dcb);  // the reserved fields and flag bits too
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = settings.baud_rate;
  dcb.fBinary = 1;
  dcb.fParity = settings.parity == Parity::kNone ? 0 : 1;
  dcb.fOutxCtsFlow = settings.hardware_flow ? 1 : 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDtrControl = settings.dtr_enable ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = 0;
  dcb.fTXContinueOnXoff = 0;
  dcb.fOutX = settings.software_flow ? 1 : 0;
  dcb.fInX = settings.software_flow ? 1 : 0;
  dcb.fErrorChar = 0;
  dcb.fNull = 0;
  dcb.fRtsControl = settings.hardware_flow ? RTS_CONTROL_HANDSHAKE
                    : settings.rts_toggle  ? RTS_CONTROL_TOGGLE
                                           : RTS_CONTROL_ENABLE;
  dcb.fAbortOnError = 0;
  dcb.XonLim = 1;
  dcb.XoffLim = 1;
  dcb.ByteSize = settings.data_bits;
  dcb.Parity = settings.parity == Parity::kOdd    ? ODDPARITY
               : settings.parity == Parity::kEven ? EVENPARITY
                                                  : NOPARITY;
  dcb.StopBits = settings.stop_bits == 2 ? TWOSTOPBITS : ONESTOPBIT;
  dcb.XonChar = '0';
  dcb.XoffChar = '1';
  dcb.ErrorChar = '2';
  dcb.EofChar = '3';
  dcb.EvtChar = 0x01;
  return dcb;
}

LineSettings LineSettingsFrom(const DCB& dcb) {
  LineSettings settings;
  settings.baud_rate = dcb.BaudRate;
  settings.data_bits = dcb.ByteSize;
  settings.parity = dcb.Parity == ODDPARITY    ? Parity::kOdd
                    : dcb.Parity == EVENPARITY ? Parity::kEven
                                               : Parity::kNone;
  settings.stop_bits = dcb.StopBits == TWOSTOPBITS ? 2 : 1;
  settings.hardware_flow = dcb.fOutxCtsFlow != 0;
  settings.software_flow = dcb.fOutX != 0 || dcb.fInX != 0;
  settings.dtr_enable = dcb.fDtrControl == DTR_CONTROL_ENABLE;
  settings.rts_toggle = dcb.fRtsControl == RTS_CONTROL_TOGGLE;
  return settings;
}

COMMTIMEOUTS CommTimeoutsFor(const ReadTimeouts& read, const WriteTimeouts& write) {
  if (read.interval_ms == 0 && read.total_multiplier_ms == 0 && read.total_constant_ms == 0)
    return ImmediateReadTimeouts(write);
  COMMTIMEOUTS timeouts;
  timeouts.ReadIntervalTimeout = read.interval_ms;
  timeouts.ReadTotalTimeoutMultiplier = read.total_multiplier_ms;
  timeouts.ReadTotalTimeoutConstant = read.total_constant_ms;
  timeouts.WriteTotalTimeoutMultiplier = write.total_multiplier_ms;
  timeouts.WriteTotalTimeoutConstant = write.total_constant_ms;
  return timeouts;
}

COMMTIMEOUTS ImmediateReadTimeouts(const WriteTimeouts& write) {
  COMMTIMEOUTS timeouts;
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = write.total_multiplier_ms;
  timeouts.WriteTotalTimeoutConstant = write.total_constant_ms;
  return timeouts;
}

bool SameTimeouts(const COMMTIMEOUTS& a, const COMMTIMEOUTS& b) {
  return a.ReadIntervalTimeout == b.ReadIntervalTimeout &&
         a.ReadTotalTimeoutMultiplier == b.ReadTotalTimeoutMultiplier &&
         a.ReadTotalTimeoutConstant == b.ReadTotalTimeoutConstant &&
         a.WriteTotalTimeoutMultiplier == b.WriteTotalTimeoutMultiplier &&
         a.WriteTotalTimeoutConstant == b.WriteTotalTimeoutConstant;
}

}  // namespace tillgate
