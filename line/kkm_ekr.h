#pragma once
// TKkmEkr: the line object of one serial port. It is its own serial port
// (TCommPort), keeps the ten register slots of the line, runs one polling
// step at a time, turns the messages registers send into store transactions
// and their outcomes into the frames registers understand.
//
// One thread uses a line object (its worker, or the test's): with the
// workers running, even Start's restart is made by the line's worker.

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "config/event_sink.h"
#include "config/port_config.h"
#include "line/answer_check.h"
#include "line/frames.h"
#include "line/line_silence.h"
#include "line/port_condition.h"
#include "line/register_slot.h"
#include "serial/comm_port.h"
#include "store/goods_request.h"

namespace tillgate {

class ProtocolTrace;
class Store;
class TEvent;

// The options of one line; all off is the line as it always was.
struct LineOptions {
  // QUICKn: a read ends as soon as the answer frame is complete (see
  // ReadAnswer), and nothing is sent sooner than kTurnaround after a received
  // frame.
  bool quick = false;
  // STRICTn: an answer that does not name the polled register or whose
  // checksum does not add up counts as no answer.
  bool strict = false;
  // RESCAN: every so many seconds the line's worker calls Rescan; 0 never.
  uint32_t rescan_seconds = 0;
};

// With QUICK, the least time between the end of a received frame and the
// next byte sent, so that a register is never answered while it still turns
// its line round.
inline constexpr std::chrono::milliseconds kTurnaround{2};

class TKkmEkr : public TCommPort {
 public:
  // Sets up the ten slots (network numbers 1..10, poll state 1, present,
  // current slot -1), then opens and configures `device_path` at once and
  // discards whatever was waiting on it; a port that fails to open still
  // makes a line object, which gets no answers. Reports the outcome through
  // `events` (condition "<port name> port"). The port works through
  // `device` (not null). With a `trace`, every byte sent and received (and
  // discarded) is written to it.
  TKkmEkr(int port_index, std::string port_name, std::string device_path,
          std::unique_ptr<SerialDevice> device, EventSink* events = nullptr,
          ProtocolTrace* trace = nullptr);

  // --- wiring at start-up (none is owned; each may stay null)
  void SetTables(LineRuntimes* runtime, BarcodeSetups* barcodes);
  // The 1 ms wait inside the poll sequence is taken on it; without one the
  // poll byte follows DTR at once.
  void SetDelayEvent(TEvent* delay) { delay_ = delay; }
  // The store that serves goods messages, closes documents and lists
  // identified registers. Without one, goods messages are refused.
  void SetStore(Store* store) { store_ = store; }
  void SetOptions(const LineOptions& options) { options_ = options; }
  // The board that shows the port's state and when each register last
  // answered. Set before the line's thread runs; not owned.
  void SetStatusBoard(StatusBoard* board);
  const LineOptions& Options() const { return options_; }

  // --- polling
  // START for this line: every slot present with poll state 1, current slot
  // 0. Nothing else in the slots changes.
  void Restart();
  // Serves the next present register (or one a rescan offers a start
  // command): start command on its first visit, poll byte afterwards, then
  // reads its answer. A closed port makes a step do nothing: its registers
  // keep their places until it is open again. Tells the port's condition
  // when a transfer failed, worked again, or the port was closed, and the
  // line's silence when no register has answered for kLineSilence. Always
  // returns 1.
  int PollStep();
  // False once every register has been dropped: a step then does no I/O.
  bool HasPresentSlot() const;
  // True when a step would talk to a register: the port is open and a
  // register is in the rotation or due for a rescan's start command.
  bool HasWork() const;
  // RESCAN: opens the port again when it is closed (told once when it fails,
  // once when it is back), then gives every dropped register one start
  // command at its turn in the rotation; one that answers is polled again
  // from then on. A register in the rotation gets none.
  void Rescan();
  // Reads up to 20 bytes, then (when more than one came) up to 40 more behind
  // them; accepts the answer when the first read brought at least 5 bytes and
  // the length byte (byte 2) is not above that count, and then decodes it.
  // With QUICK the first read ends as soon as the frame is complete
  // (AnswerSize bytes, at most 20) and the second reads only what the frame
  // still lacks; with STRICT an accepted answer must also name the polled
  // register and add up (see AnswerCheck). True when accepted.
  bool ReadAnswer(uint8_t network_number);

  // --- frames
  // True when all 6 bytes went out.
  bool SendCommand(uint8_t network_number, uint8_t command_code);
  // Discards the bytes waiting on the line (traced as such, `before` saying
  // what they would have been taken for). False on a closed port.
  bool DiscardWaiting(const char* before, uint8_t network_number);
  bool SendStart(uint8_t network_number) { return SendCommand(network_number, kCommandStart); }
  // DTR up, 1 ms wait, the waiting bytes discarded, poll byte, DTR down. True
  // when the byte went out and DTR was lowered; a failed write leaves DTR
  // raised and returns false. A DTR call that fails (a device without modem
  // lines) is told once for the line, as a notice, and the poll goes on.
  bool SendPoll(uint8_t network_number);
  // The goods answer frame with a display text of `text_length` bytes (15 or
  // 32). False when not all 15 + text_length bytes went out, or when the text
  // is too long for the transmit buffer (then nothing is sent).
  bool SendGoodsFrame(uint8_t network_number, const char* text, int text_length, uint32_t kopecks,
                      char section);

  // --- decoding (line/decode_message.cc)
  // Decodes the frame in the receive buffer as coming from the register with
  // `network_number`, runs the store transaction it asks for and answers it
  // with exactly one frame, after the transaction has returned. A frame too
  // short for its type, an unknown type and every goods refusal of the store
  // are answered "u".
  void DecodeMessage(uint8_t network_number);
  // Unpacks the barcode of the received barcode message into the request's
  // goods code.
  void DecodeBarcode(GoodsRequest& request);
  // Composes the display text of the served operation by the line's two
  // name-line letters and sends the goods answer frame with the outcome's
  // kopecks. True when the frame went out.
  bool SendGoodsAnswer(uint8_t network_number, const GoodsOutcome& outcome);

  // --- what decoding and the tests read
  int PortIndex() const { return port_index_; }
  const std::string& PortName() const { return port_name_; }
  const std::string& DevicePath() const { return device_path_; }
  const uint8_t* ReceiveBuffer() const { return receive_.data(); }
  // Bytes of the latest answer: first read plus second read.
  int ReceiveCount() const { return receive_count_; }
  int FirstReadCount() const { return first_read_count_; }
  const uint8_t* TransmitBuffer() const { return transmit_.data(); }
  int SlotCount() const { return kSlotCount; }
  int CurrentSlot() const { return current_slot_; }
  RegisterSlot& Slot(int index) { return slots_[static_cast<size_t>(index)]; }
  const RegisterSlot& Slot(int index) const { return slots_[static_cast<size_t>(index)]; }
  // The slot of network number 1..10; null for any other number.
  RegisterSlot* SlotByNetworkNumber(uint8_t network_number);
  TEvent* DelayEvent() const { return delay_; }
  LineRuntimes* Runtimes() const { return runtime_; }
  BarcodeSetups* Barcodes() const { return barcodes_; }
  // This port's entries; null when the tables are not set.
  LineRuntime* Runtime() const;
  BarcodeSetup* Barcode() const;
  EventSink* Events() const { return events_; }
  Store* GetStore() const { return store_; }
  ProtocolTrace* Trace() const { return trace_; }

 private:
  // Picks the next slot to serve after the current one (present, or due for
  // a rescan's start command); false when there is none.
  bool AdvanceToServedSlot();
  void ReportFirstExchange(const RegisterSlot& slot, bool answered);
  void ReportRescan(const RegisterSlot& slot, bool answered);
  // Opens and configures the device, discards what was waiting, tells the
  // port's condition.
  void OpenPort();
  // After a step's transfers: what the port's condition has to be told.
  void CheckPort(bool was_open);
  // Reads the answer's bytes into the receive buffer and sets the counts.
  void ReadAnswerBytes();
  // Writes `size` bytes of the transmit buffer (traced); true when all went.
  bool SendFrame(int size);
  // With QUICK, waits until kTurnaround has passed since the last received
  // frame.
  void GuardTurnaround() const;
  // SetDtr, telling the first failure on the open port.
  bool SetPollDtr(bool raise);

  int port_index_;
  std::string port_name_;
  std::string device_path_;
  std::array<RegisterSlot, kSlotCount> slots_{};
  int current_slot_ = -1;
  std::array<uint8_t, kFrameBufferSize> transmit_{};
  std::array<uint8_t, kFrameBufferSize> receive_{};
  int receive_count_ = 0;
  int first_read_count_ = 0;
  LineRuntimes* runtime_ = nullptr;
  BarcodeSetups* barcodes_ = nullptr;
  TEvent* delay_ = nullptr;
  Store* store_ = nullptr;
  EventSink* events_ = nullptr;
  ProtocolTrace* trace_ = nullptr;
  StatusBoard* status_ = nullptr;
  LineOptions options_;
  PortCondition condition_;
  LineSilence silence_;
  std::optional<std::chrono::steady_clock::time_point> last_received_;
  bool dtr_failure_told_ = false;
};

}  // namespace tillgate
