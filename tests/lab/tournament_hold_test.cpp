// momiru-lab tournament beside another writer of the same file: a step is refused at once, with
// nothing written, while another process holds the file; a holder that died holds nothing; and
// steps run at the same moment on one file lose nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>

#include "data/platform.h"
#include "report/tournament_file.h"
#include "support/lab_support.h"
#include "support/test_support.h"

namespace {

using namespace momiru::testing;
namespace fs = std::filesystem;

constexpr int kHeldElsewhere = 75;
constexpr const char* kSamples[] = {"gansekimaru.dat", "hinotori.dat",   "inazuma.dat",
                                    "karappo.dat",     "nenrikibou.dat", "pochimaru.dat",
                                    "rendaa.dat",      "zutsukiya.dat"};

// A process of its own that holds `file` as a game holds the tournament it has open, until it is
// killed.
class OtherHolder {
 public:
  explicit OtherHolder(const fs::path& file) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      const momiru::FileHold hold = momiru::FileHold::take(file, nullptr);
      const char said = hold.held() ? 'y' : 'n';
      if (::write(ready[1], &said, 1) != 1) ::_exit(1);
      ::pause();
      ::_exit(0);
    }
    ::close(ready[1]);
    char said = 0;
    held_ = pid_ > 0 && ::read(ready[0], &said, 1) == 1 && said == 'y';
    ::close(ready[0]);
  }
  ~OtherHolder() { kill(); }
  bool held() const { return held_; }
  // Ends the process at once: it lets go of nothing itself.
  void kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

TEST(LabTournamentHold, AStepIsRefusedAtOnceWhileAnotherProcessHoldsTheFile) {
  ScratchDir dir;
  const fs::path t = dir / "t.momiru-tournament";
  ASSERT_EQ(
      lab("tournament new " + quoted(t) + " --name cup --format single --no-commitment").status, 0);
  ASSERT_EQ(
      lab("tournament add " + quoted(t) + " " + sample(kSamples[0]) + " " + sample(kSamples[1]))
          .status,
      0);
  const std::string before = readFile(t);
  OtherHolder other(t);
  ASSERT_TRUE(other.held());
  for (const std::string& step : {"add " + quoted(t) + " " + sample(kSamples[2]),
                                  "close " + quoted(t), "run " + quoted(t) + " --beacon b"}) {
    SCOPED_TRACE(step);
    const LabRun run = labWith("timeout 20", "tournament " + step, "");
    EXPECT_EQ(run.status, kHeldElsewhere);
    EXPECT_NE(run.err.find(": another game or momiru-lab has the tournament open; nothing was "
                           "written (try again once it is closed)\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readFile(t), before);
  }
  // Reading needs no hold.
  EXPECT_EQ(lab("tournament show " + quoted(t)).status, 0);

  // A holder killed without letting go holds nothing: the lock file it left is taken over.
  other.kill();
  ASSERT_TRUE(fs::exists(momiru::lockFileOf(t)));
  const LabRun added = lab("tournament add " + quoted(t) + " " + sample(kSamples[2]));
  EXPECT_EQ(added.status, 0) << added.err;
  EXPECT_FALSE(fs::exists(momiru::lockFileOf(t))) << "a step that ends lets go";
  EXPECT_EQ(lab("tournament close " + quoted(t)).status, 0);

  // A folder where the lock file would be: no hold, so nothing is written, and it is said why.
  fs::create_directory(momiru::lockFileOf(t));
  const std::string closed = readFile(t);
  const LabRun run = lab("tournament run " + quoted(t) + " --beacon b");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the tournament cannot be held, so nothing was written (" +
                         momiru::lockFileOf(t).string() + ": not a regular file)"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(readFile(t), closed);
}

// Fault mended: adds run at the same moment on one file each read it, added their entry and
// wrote it back over the others', removing each other's temporary files on the way: most failed
// with status 1, and one that said done could have replaced another's entry.
TEST(LabTournamentHold, StepsAtTheSameMomentLoseNothing) {
  ScratchDir dir;
  const fs::path t = dir / "t.momiru-tournament";
  ASSERT_EQ(
      lab("tournament new " + quoted(t) + " --name cup --format swiss --no-commitment").status, 0);
  // Each add in a process of its own, all started at once; each says its sample and status.
  std::string script = "export LC_ALL=C LANGUAGE=\n";
  for (const char* s : kSamples) {
    script += "( \"" + std::string(MOMIRU_LAB) + "\" tournament add " + quoted(t) + " " +
              sample(s) + " >/dev/null 2>&1; echo " + s + " $? >>" + quoted(dir / "statuses") +
              " ) &\n";
  }
  script += "wait\n";
  writeFile(dir / "adds.sh", script);
  ASSERT_EQ(std::system(("timeout 60 sh " + quoted(dir / "adds.sh")).c_str()), 0);
  std::istringstream lines(readFile(dir / "statuses"));
  std::set<std::string> added;
  std::string name;
  int status = -1;
  std::size_t told = 0;
  while (lines >> name >> status) {
    ++told;
    EXPECT_TRUE(status == 0 || status == kHeldElsewhere) << name << ": " << status;
    if (status == 0) added.insert(name);
  }
  EXPECT_EQ(told, std::size(kSamples));
  EXPECT_FALSE(added.empty());
  momiru::Refusal error;
  const auto kept = momiru::report::readTournamentFile(t, &error);
  ASSERT_TRUE(kept) << momiru::describe(error);
  std::set<std::string> entered;
  for (const auto& e : kept->entries) entered.insert(e.file);
  EXPECT_EQ(entered, added) << "every add that said done is in the file, and no other";
}

}  // namespace
