// A media device that sounds nothing and writes down what it was told.
#pragma once

#include <memory>
#include <string>
#include <utility>
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
    return !refuses && fileName.find("broken") == std::string::npos;
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
  bool refuses = false;                 // opens nothing, as without a sound device

 private:
  void note(const std::string& what) { log_->calls.push_back(tag_ + " " + what); }

  std::shared_ptr<DeviceLog> log_;
  std::string tag_;
  bool sounding_ = false;
};

// While this lives, every MediaPlayer() made gets a fake device tagged 1, 2, 3... in order, all
// writing into one log; the factory in place before comes back when this goes.
class FakeDevices {
 public:
  FakeDevices()
      : previous_(setDeviceFactory([this] {
          auto d = std::make_unique<FakeDevice>(log_, std::to_string(devices_.size() + 1));
          devices_.push_back(d.get());
          return d;
        })) {}
  ~FakeDevices() { setDeviceFactory(std::move(previous_)); }
  FakeDevices(const FakeDevices&) = delete;
  FakeDevices& operator=(const FakeDevices&) = delete;

  std::vector<std::string> takeCalls() { return std::exchange(log_->calls, {}); }
  const std::vector<FakeDevice*>& devices() const { return devices_; }

 private:
  std::shared_ptr<DeviceLog> log_ = std::make_shared<DeviceLog>();
  std::vector<FakeDevice*> devices_;
  DeviceFactory previous_;
};

}  // namespace momiru::media::testing
