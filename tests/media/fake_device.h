// A media device that sounds nothing and writes down what it was told.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/media_device.h"

namespace momiru::media::testing {

struct DeviceLog {
  std::vector<std::string> calls;  // "<tag> open <file>", "<tag> rewind", ...
};

class FakeDevice final : public MediaDevice {
 public:
  FakeDevice(std::shared_ptr<DeviceLog> log, std::string tag)
      : log_(std::move(log)), tag_(std::move(tag)) {}

  bool open(const std::string& fileName) override {
    note("open " + fileName);
    sounding_ = false;
    return fileName.find("broken") == std::string::npos;
  }
  void close() override {
    note("close");
    sounding_ = false;
  }
  void rewind() override {
    note("rewind");
    sounding_ = false;
  }
  void play() override {
    note("play");
    sounding_ = true;
  }
  void playRepeating() override {
    note("play repeating");
    sounding_ = true;
  }
  bool playing() const override { return sounding_; }
  double secondsLeft() const override { return sounding_ ? left : 0; }

  void finish() { sounding_ = false; }  // the piece reached its end
  double left = 0;                      // what secondsLeft tells while sounding

 private:
  void note(const std::string& what) { log_->calls.push_back(tag_ + " " + what); }

  std::shared_ptr<DeviceLog> log_;
  std::string tag_;
  bool sounding_ = false;
};

}  // namespace momiru::media::testing
