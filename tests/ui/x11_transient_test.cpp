// The move list on a real X server: the game runs under Xvfb with openbox, the list is opened
// from the keyboard, and the server is asked what the list's window says about its owner.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

// A program started with extra environment, stopped when this goes.
class Child {
 public:
  Child(const std::vector<std::string>& args, const std::vector<std::string>& env,
        int keepFd = -1) {
    pid_ = ::fork();
    if (pid_ != 0) return;
    for (const std::string& entry : env) ::putenv(const_cast<char*>(entry.c_str()));
    if (keepFd < 0) std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    std::_Exit(127);
  }
  ~Child() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 50; ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

 private:
  pid_t pid_ = -1;
};

// What a shell command prints, with `display` as its X display.
std::string output(const std::string& display, const std::string& command) {
  const std::string line = "DISPLAY=" + display + " " + command + " 2>/dev/null";
  std::string text;
  if (FILE* pipe = ::popen(line.c_str(), "r")) {
    std::array<char, 256> buffer{};
    while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), pipe) != nullptr) {
      text += buffer.data();
    }
    ::pclose(pipe);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// The first window whose name is `name`, waiting at most `seconds`.
std::optional<unsigned long> findWindow(const std::string& display, const std::string& name,
                                        int seconds) {
  // xdotool's own --sync gives up at once when the server is briefly busy: ask again until the
  // time is up.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  do {
    std::istringstream in(output(display, "xdotool search --name '^" + name + "$'"));
    unsigned long id = 0;
    if (in >> id) return id;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

// An X server of 1280 × 1024 on a free display with openbox running, and the environment that
// starts the game on it; `display` stays empty when something is missing.
class X11Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* program : {"Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "timeout"}) {
      const std::string probe = std::string("command -v ") + program + " >/dev/null 2>&1";
      if (std::system(probe.c_str()) != 0) GTEST_SKIP() << program << " is not installed";
    }
    // A free display: Xvfb writes the number it took to the pipe.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    xvfb.emplace(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen",
                                          "0", "1280x1024x24", "-nolisten", "tcp"},
                 std::vector<std::string>{}, fds[1]);
    ::close(fds[1]);
    std::string number;
    char c = 0;
    while (number.size() < 8 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (number.empty()) GTEST_SKIP() << "Xvfb did not start";
    display = ":" + number;
    env = {"DISPLAY=" + display,
           "QT_QPA_PLATFORM=xcb",
           "SDL_AUDIODRIVER=dummy",
           "XDG_CONFIG_HOME=" + home.path().string(),
           "HOME=" + home.path().string(),
           "XDG_CACHE_HOME=" + home.path().string(),
           "XDG_DATA_HOME=" + home.path().string()};
    wm.emplace(std::vector<std::string>{"openbox", "--sm-disable"}, env);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }

  momiru::testing::ScratchDir home;
  std::optional<Child> xvfb;
  std::string display;
  std::vector<std::string> env;
  std::optional<Child> wm;
};

TEST_F(X11Desktop, MoveListIsTransientForTheBattleWindowAndClosesByEnter) {
  const fs::path samples = fs::path(MOMIRU_SOURCE_DIR) / "samples";
  Child game({MOMIRU_GAME, (samples / "pochimaru.dat").string(), (samples / "rendaa.dat").string(),
              "--seed", "7"},
             env);

  const auto battle = findWindow(display, "バトルコロシアム", 30);
  ASSERT_TRUE(battle) << "no battle window";
  // The focus starts on the left portrait; Enter opens its list (once the turn has ended).
  output(display, "xdotool windowactivate --sync " + std::to_string(*battle));
  output(display, "xdotool key Return");
  const auto list = findWindow(display, "持ち技", 30);
  ASSERT_TRUE(list) << "no move list";

  const std::string xprop = "xprop -id " + std::to_string(*list);
  const std::string transient = output(display, xprop + " WM_TRANSIENT_FOR");
  std::ostringstream owner;
  owner << "window id # 0x" << std::hex << *battle;
  EXPECT_NE(transient.find(owner.str()), std::string::npos) << transient;
  const std::string type = output(display, xprop + " _NET_WM_WINDOW_TYPE");
  EXPECT_NE(type.find("_NET_WM_WINDOW_TYPE_DIALOG"), std::string::npos) << type;

  output(display, "xdotool key Return");
  bool closed = false;
  for (int i = 0; i < 50 && !closed; ++i) {
    closed = output(display, "xdotool search --name '^持ち技$'").empty();
    if (!closed) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(closed) << "Enter did not close the list";
}

// A window's client area on the root window, as the server holds it.
struct ClientArea {
  int x = 0, y = 0, width = 0, height = 0;
  int centreX() const { return x + width / 2; }
  int centreY() const { return y + height / 2; }
};

ClientArea clientArea(const std::string& display, unsigned long window) {
  const std::string info = output(display, "xwininfo -id " + std::to_string(window));
  ClientArea area;
  const auto field = [&](const std::string& label, int& value) {
    const std::size_t at = info.find(label);
    if (at != std::string::npos) value = std::atoi(info.c_str() + at + label.size());
  };
  field("Absolute upper-left X:", area.x);
  field("Absolute upper-left Y:", area.y);
  field("Width:", area.width);
  field("Height:", area.height);
  return area;
}

// Each screen opens centred on the one it replaces, and a screen that would then cross the
// desktop's edge is moved back onto it; the first opens at the desktop's centre.
TEST_F(X11Desktop, EachScreenOpensCentredOnTheOneItReplacesAndStaysOnTheDesktop) {
  Child game({MOMIRU_GAME}, env);
  const auto title = findWindow(display, "タイトル", 30);
  ASSERT_TRUE(title) << "no title window";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const ClientArea first = clientArea(display, *title);
  EXPECT_NEAR(first.centreX(), 640, 2);
  EXPECT_NEAR(first.centreY(), 512, 40);  // the title bar above the client area

  // The player drags the title to the upper left; Enter on スタート opens the options there.
  output(display, "xdotool windowmove --sync " + std::to_string(*title) + " 40 60");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const ClientArea moved = clientArea(display, *title);
  output(display, "xdotool windowactivate --sync " + std::to_string(*title) + " key Return");
  const auto options = findWindow(display, "オプション", 30);
  ASSERT_TRUE(options) << "no options window";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const ClientArea second = clientArea(display, *options);
  EXPECT_NEAR(second.centreX(), moved.centreX(), 2);
  EXPECT_NEAR(second.centreY(), moved.centreY(), 2);

  // Dragged to the lower right corner, the options lead to an entry screen that is wider: it
  // is moved back so that the whole window lies on the desktop.
  output(display, "xdotool windowmove --sync " + std::to_string(*options) + " 900 700");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  output(display, "xdotool windowactivate --sync " + std::to_string(*options) + " key Return");
  const auto entry = findWindow(display, "1Ｐｌａｙｅｒ", 30);
  ASSERT_TRUE(entry) << "no entry window";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const ClientArea third = clientArea(display, *entry);
  EXPECT_GE(third.x, 0);
  EXPECT_GE(third.y, 0);
  EXPECT_LE(third.x + third.width, 1280);
  EXPECT_LE(third.y + third.height, 1024);
  EXPECT_GT(third.x, 1280 / 2 - third.width / 2);  // still towards where the player put it
}

}  // namespace
