// FakeHost: the headless host for tests. Records every caption, repaint, message box and
// setting read, so tests can check what a step showed and what it looked at.
#pragma once

#include <string>
#include <vector>

#include "batch/headless_host.h"

namespace terravox::testing {

struct ShownMessage {
  std::string text;
  std::string title;
  std::string status_at_show;  // the status line while the box was open
  bool operator==(const ShownMessage&) const = default;
};

class FakeHost : public HeadlessHost {
 public:
  FakeHost();
  FakeHost(const FakeHost&) = delete;  // the callbacks point at this object
  FakeHost& operator=(const FakeHost&) = delete;

  std::vector<std::string> captions;       // every SetStatus, in order
  std::vector<ShownMessage> messages;      // every MsgBox, in order
  mutable std::vector<std::string> reads;  // names of the settings read, in order
  int repaint_count = 0;

  std::string GridFolder() const override { return Read("GridFolder", HeadlessHost::GridFolder()); }
  std::string ContourBase() const override {
    return Read("ContourBase", HeadlessHost::ContourBase());
  }
  std::string ContourInterval() const override {
    return Read("ContourInterval", HeadlessHost::ContourInterval());
  }
  std::string ContourFolder() const override {
    return Read("ContourFolder", HeadlessHost::ContourFolder());
  }
  std::string SlopeFolder() const override {
    return Read("SlopeFolder", HeadlessHost::SlopeFolder());
  }
  std::string AsciiFolder() const override {
    return Read("AsciiFolder", HeadlessHost::AsciiFolder());
  }
  std::string XyzFolder() const override { return Read("XyzFolder", HeadlessHost::XyzFolder()); }
  std::string CellSizeText() const override {
    return Read("CellSizeText", HeadlessHost::CellSizeText());
  }
  bool InputIsXyz() const override { return Read("InputIsXyz", HeadlessHost::InputIsXyz()); }
  bool InputIsAscii() const override { return Read("InputIsAscii", HeadlessHost::InputIsAscii()); }
  bool CellSizeGiven() const override {
    return Read("CellSizeGiven", HeadlessHost::CellSizeGiven());
  }
  bool RunContour() const override { return Read("RunContour", HeadlessHost::RunContour()); }
  bool RunSlope() const override { return Read("RunSlope", HeadlessHost::RunSlope()); }

  void Repaint() override { ++repaint_count; }

  // True when the named setting was read at least once.
  bool WasRead(const std::string& setting) const;

 private:
  template <typename T>
  T Read(const char* name, const T& value) const {
    reads.emplace_back(name);
    return value;
  }
};

}  // namespace terravox::testing
