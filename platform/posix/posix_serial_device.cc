// The serial device over POSIX termios: raw 9600 8N1 without flow control,
// VMIN = VTIME = 0 (reads are timed by TimedRead), held exclusively through
// TIOCEXCL plus a non-blocking exclusive flock.

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/posix/posix_status.h"
#include "platform/posix/timed_io.h"
#include "platform/serial_device.h"

namespace tillgate {
namespace {

bool SpeedFor(uint32_t baud, speed_t* speed) {
  switch (baud) {
    case 1200:
      *speed = B1200;
      return true;
    case 2400:
      *speed = B2400;
      return true;
    case 4800:
      *speed = B4800;
      return true;
    case 9600:
      *speed = B9600;
      return true;
    case 19200:
      *speed = B19200;
      return true;
    case 38400:
      *speed = B38400;
      return true;
    case 57600:
      *speed = B57600;
      return true;
    case 115200:
      *speed = B115200;
      return true;
    default:
      return false;
  }
}

uint32_t BaudFor(speed_t speed) {
  switch (speed) {
    case B1200:
      return 1200;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    default:
      return 0;
  }
}

bool CharSizeFor(uint8_t bits, tcflag_t* size) {
  switch (bits) {
    case 5:
      *size = CS5;
      return true;
    case 6:
      *size = CS6;
      return true;
    case 7:
      *size = CS7;
      return true;
    case 8:
      *size = CS8;
      return true;
    default:
      return false;
  }
}

uint8_t BitsFor(tcflag_t cflag) {
  switch (cflag & CSIZE) {
    case CS5:
      return 5;
    case CS6:
      return 6;
    case CS7:
      return 7;
    default:
      return 8;
  }
}

Status NotOpen() { return Status(Status::kNotOpen, "port is not open"); }

// RTS raised by the driver while sending, where the driver offers it; other
// drivers leave RTS to themselves, which is not an error.
void TryRtsOnSend(int fd, bool enable) {
  serial_rs485 rs485{};
  if (ioctl(fd, TIOCGRS485, &rs485) != 0) return;
  if (enable) {
    rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    rs485.flags &= ~static_cast<uint32_t>(SER_RS485_RTS_AFTER_SEND);
  } else {
    rs485.flags &= ~static_cast<uint32_t>(SER_RS485_ENABLED);
  }
  (void)ioctl(fd, TIOCSRS485, &rs485);
}

class PosixSerialDevice final : public SerialDevice {
 public:
  ~PosixSerialDevice() override { (void)Close(); }

  Status Open(const std::string& path) override {
    if (fd_ >= 0) (void)Close();
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return StatusFromErrno(errno, "open");
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      Status result = StatusFromErrno(errno, "lock");
      if (result.code() == Status::kBusy)
        result = Status(Status::kBusy, "held by another program", errno);
      close(fd);
      return result;
    }
    // Keeps out openers that do not take the lock; root is exempt, the lock
    // still stops a second server.
    (void)ioctl(fd, TIOCEXCL);
    fd_ = fd;
    return Status::Ok();
  }

  Status Close() override {
    if (fd_ < 0) return NotOpen();
    int fd = fd_;
    fd_ = -1;  // forgotten before close: the number may be reused at once
    (void)ioctl(fd, TIOCNXCL);
    if (close(fd) != 0 && errno != EINTR) return StatusFromErrno(errno, "close");
    return Status::Ok();
  }

  bool IsOpen() const override { return fd_ >= 0; }

  Status GetLineSettings(LineSettings* settings) override {
    if (fd_ < 0) return NotOpen();
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) return StatusFromErrno(errno, "tcgetattr");
    LineSettings s;
    s.baud_rate = BaudFor(cfgetospeed(&tio));
    s.data_bits = BitsFor(tio.c_cflag);
    s.parity = !(tio.c_cflag & PARENB)  ? Parity::kNone
               : (tio.c_cflag & PARODD) ? Parity::kOdd
                                        : Parity::kEven;
    s.stop_bits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    s.hardware_flow = (tio.c_cflag & CRTSCTS) != 0;
    s.software_flow = (tio.c_iflag & (IXON | IXOFF)) != 0;
    int lines = 0;
    s.dtr_enable = ioctl(fd_, TIOCMGET, &lines) == 0 ? (lines & TIOCM_DTR) != 0 : true;
    s.rts_toggle = settings->rts_toggle;  // not readable back from every driver
    *settings = s;
    return Status::Ok();
  }

  Status SetLineSettings(const LineSettings& settings) override {
    if (fd_ < 0) return NotOpen();
    speed_t speed;
    tcflag_t size;
    if (!SpeedFor(settings.baud_rate, &speed) || !CharSizeFor(settings.data_bits, &size) ||
        (settings.stop_bits != 1 && settings.stop_bits != 2))
      return StatusFromErrno(EINVAL, "line settings");
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) return StatusFromErrno(errno, "tcgetattr");
    cfmakeraw(&tio);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= size | CREAD | CLOCAL;
    if (settings.parity != Parity::kNone) tio.c_cflag |= PARENB;
    if (settings.parity == Parity::kOdd) tio.c_cflag |= PARODD;
    if (settings.stop_bits == 2) tio.c_cflag |= CSTOPB;
    if (settings.hardware_flow) tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (settings.software_flow) tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd_, TCSANOW, &tio) != 0) return StatusFromErrno(errno, "tcsetattr");
    TryRtsOnSend(fd_, settings.rts_toggle);
    if (settings.dtr_enable) (void)SetDtr(true);
    return Status::Ok();
  }

  Status Read(uint8_t* buffer, size_t count, const ReadTimeouts& timeouts, size_t* got) override {
    *got = 0;
    if (fd_ < 0) return NotOpen();
    return TimedRead(fd_, buffer, count, timeouts, got);
  }

  Status ReadUntil(uint8_t* buffer, size_t count, const ReadTimeouts& timeouts,
                   const ReadTarget& target, size_t* got) override {
    *got = 0;
    if (fd_ < 0) return NotOpen();
    return TimedRead(fd_, buffer, count, timeouts, got, target);
  }

  // What is waiting is read first (without waiting), only so that it can be
  // shown; tcflush then drops whatever is left.
  Status FlushInput(uint8_t* kept, size_t capacity, size_t* kept_count) override {
    *kept_count = 0;
    if (fd_ < 0) return NotOpen();
    while (*kept_count < capacity) {
      const ssize_t n = read(fd_, kept + *kept_count, capacity - *kept_count);
      if (n > 0) {
        *kept_count += static_cast<size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        break;  // nothing more waiting; an error shows in the flush below
      }
    }
    if (tcflush(fd_, TCIFLUSH) != 0) return TransferFailure(fd_, errno, "tcflush");
    return Status::Ok();
  }

  Status Write(const uint8_t* bytes, size_t count, const WriteTimeouts& timeouts,
               size_t* written) override {
    *written = 0;
    if (fd_ < 0) return NotOpen();
    return TimedWrite(fd_, bytes, count, timeouts, written);
  }

  Status SetDtr(bool raise) override {
    if (fd_ < 0) return NotOpen();
    int bits = TIOCM_DTR;
    if (ioctl(fd_, raise ? TIOCMBIS : TIOCMBIC, &bits) == 0) return Status::Ok();
    int error = errno;
    if (error == ENOTTY || error == EINVAL)
      return Status(Status::kNotSupported, "DTR control not supported by this device", error);
    return StatusFromErrno(error, "DTR");
  }

  Status ClearErrors() override {
    if (fd_ < 0) return NotOpen();
    return Status::Ok();
  }

 private:
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<SerialDevice> NewSystemSerialDevice() {
  return std::make_unique<PosixSerialDevice>();
}

// A serial device is a character device; whether this process may use it is
// the device file's read and write permission.
Status SerialDeviceAccess(const std::string& path, bool* present) {
  struct stat info {};
  *present = stat(path.c_str(), &info) == 0;
  if (!*present) return StatusFromErrno(errno);
  if (!S_ISCHR(info.st_mode)) return Status::kNotSupported;
  return access(path.c_str(), R_OK | W_OK) == 0 ? Status::Ok() : StatusFromErrno(errno);
}

}  // namespace tillgate
