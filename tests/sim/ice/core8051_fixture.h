// A core over fresh memories, with helpers to place code and step it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "sim/ice/core8051.h"

namespace sim::ice::testing {

class Core8051Test : public ::testing::Test {
protected:
  Core8051Test() : mem_(std::make_unique<Memories>()), core_(*mem_) { core_.Reset(); }

  // Places bytes in code memory at an address (wrapping at 64 KB).
  void Code(uint16_t at, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) mem_->code[at++] = b;
  }

  // Places one instruction at PC and executes it; returns its cycles.
  int Exec(std::initializer_list<uint8_t> bytes) {
    Code(core_.PC(), bytes);
    return core_.Step();
  }

  // Executes one instruction at a given address.
  int ExecAt(uint16_t at, std::initializer_list<uint8_t> bytes) {
    core_.SetPC(at);
    return Exec(bytes);
  }

  uint8_t Sfr(uint8_t address) const { return mem_->sfr[address - 0x80]; }
  void SetSfr(uint8_t address, uint8_t value) { core_.WriteDirect(address, value); }
  bool Flag(uint8_t mask) const { return (core_.PSW() & mask) != 0; }

  std::unique_ptr<Memories> mem_;
  Core8051 core_;
};

}  // namespace sim::ice::testing
