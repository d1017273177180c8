// The program download's worker: sends the code image to the erased
// emulator in 64-byte blocks, skipping blocks that are all 0xFF.
//
// Answers to a block: 1 accepted; stBusy, the same block again at once;
// stReady, back to the last accepted block; anything else (or no valid
// reply) an error with a 10 ms pause, and the third error since the count
// was last cleared (every fourth accepted block clears it) ends the download.
// Each answer is the reply to that very block's request: the command set
// keeps the line in step (cmd_set.h), so a late reply to an earlier try fails
// the block in hand as an error instead of passing for its answer, and a
// download reported complete has every block accepted by the board.
// A download that has succeeded so far polls the board's status up to three
// times at the end. An image with nothing to send succeeds (the erase already
// made the emulator's code memory equal to it) and is polled like any other.
//
// Address and Success may be read from another thread at any time; the
// result is final once IsFinished(). A stop request ends the loop after the
// block in hand and skips the final polls. The owner joins the thread (the
// destructor does so too), so the worker never outlives it.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "ide/image/code_image.h"
#include "ide/link/cmd_set.h"

namespace vx930 {

class TTxROM {
public:
  static constexpr uint32_t kEnd = 0x10000;
  static constexpr uint32_t kErrorPauseMs = 10;
  static constexpr uint32_t kStatusPollPauseMs = 100;
  static constexpr int kMaxErrors = 3;
  static constexpr int kStatusPolls = 3;

  // Neither is copied: both must outlive the thread.
  TTxROM(CCmdSet& iceCmd, const CodeImage& image) : iceCmd_(iceCmd), image_(image) {}
  ~TTxROM();
  TTxROM(const TTxROM&) = delete;
  TTxROM& operator=(const TTxROM&) = delete;

  // Runs Execute on a thread of its own.
  void Start();
  // The transfer; Start runs it on the worker, tests may call it directly.
  void Execute();
  // Asks the transfer to end after the block in hand.
  void Terminate() { stop_ = true; }
  bool Terminated() const { return stop_; }
  // Waits for the worker to end; a no-op when it is not running.
  void Join();
  bool IsFinished() const { return finished_; }

  uint32_t GetAddress() const { return Address; }
  bool GetSuccess() const { return Success; }

private:
  bool BlockIsBlank(uint32_t address) const;
  void FinalStatus();

  CCmdSet& iceCmd_;
  const CodeImage& image_;
  std::atomic<uint32_t> Address{0};
  std::atomic<bool> Success{false};
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace vx930
