// Our music and sounds: the committed files are exactly what their sources make, and the note
// compiler catches the mistakes a person makes writing a note list.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "media/midi_length.h"
#include "notes_compiler.h"
#include "sfx_synth.h"

namespace momiru {
namespace {

const std::filesystem::path kAssets = std::filesystem::path(MOMIRU_SOURCE_DIR) / "assets";

std::vector<std::uint8_t> readBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string readText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Piece {
  const char* notes;
  const char* midi;
  double shortest;
  double longest;
};

TEST(OurMusic, CommittedFilesAreTheCompiledNoteListsOfTheRightLength) {
  for (const Piece& p : {Piece{"battle.notes", "music a.mid", 60, 90},
                         Piece{"title.notes", "music b.mid", 30, 60}}) {
    SCOPED_TRACE(p.notes);
    const auto result = music::compileNotes(readText(kAssets / "music" / p.notes));
    ASSERT_EQ(result.error, "");
    EXPECT_EQ(result.midi, readBytes(kAssets / "music" / p.midi))
        << "run the momiru-music target and commit the result";
    EXPECT_GE(result.seconds, p.shortest);
    EXPECT_LE(result.seconds, p.longest);
    // The players end the piece at this length, so it must be the compiler's own.
    EXPECT_NEAR(media::midiSeconds(result.midi).value_or(0), result.seconds, 1e-9);
  }
}

TEST(OurSounds, CommittedFilesAreTheSynthesizedShortPcm) {
  for (const auto& [name, wav] :
       {std::pair{"snd01.wav", sfx::hitWav()}, std::pair{"snd02.wav", sfx::specialHitWav()}}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(wav, readBytes(kAssets / "sounds" / name)) << "run the momiru-sounds target";
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(wav[20] | wav[21] << 8, 1);   // PCM
    EXPECT_EQ(wav[34] | wav[35] << 8, 16);  // bits per sample
    const double seconds = static_cast<double>(wav.size() - 44) / 2 / sfx::kRate;
    EXPECT_GT(seconds, 0.1);
    EXPECT_LT(seconds, 1.0);
    int peak = 0;
    for (std::size_t i = 44; i + 1 < wav.size(); i += 2) {
      const auto v = static_cast<std::int16_t>(wav[i] | wav[i + 1] << 8);
      peak = std::max(peak, std::abs(int{v}));
    }
    EXPECT_GT(peak, 16000) << "punchy";
    EXPECT_LT(peak, 32767) << "not clipped";
  }
}

std::string errorOf(const std::string& source) { return music::compileNotes(source).error; }

TEST(NoteCompiler, CatchesMistakesWithTheirLine) {
  EXPECT_EQ(errorOf("track a\n c4:4 d4 e4 |\nend\n"), "line 2: bar is 1440 ticks, expected 1920");
  EXPECT_EQ(errorOf("track a\n c4:1 |\nend\ntrack b\n c4:1 | c4:1 |\nend\n").substr(0, 7),
            "line 4:");
  EXPECT_EQ(errorOf("track a\n @nothing\nend\n"), "line 2: no pattern nothing");
  EXPECT_EQ(errorOf("track a transpose=12\n g9:1\nend\n"),
            "line 2: note out of range after transpose");
  EXPECT_EQ(errorOf("track a\n h4:1\nend\n"), "line 2: not a note: h4");
  EXPECT_EQ(errorOf("track a\n [c4 e4:1\nend\n"), "line 2: chord not closed on its line");
  EXPECT_EQ(errorOf("pattern p\n @p\nend\ntrack a\n @p\nend\n"), "line 2: patterns nest too deep");
  EXPECT_EQ(errorOf("track a\n c4:3\nend\n"), "line 2: length must be 1, 2, 4, 8, 16, 32 or 64");
  EXPECT_EQ(errorOf("track a\n c4:1\n"), "line 2: missing end");
  EXPECT_EQ(errorOf(""), "line 1: no tracks");
}

TEST(NoteCompiler, PatternsTransposeRepeatAndKeepTheirSettingsInside) {
  const auto withPattern =
      music::compileNotes("pattern p\n v50 c4:8 d4\nend\ntrack a\n @p+2*2 e4:2 |\n c4:1 |\nend\n");
  const auto spelledOut =
      music::compileNotes("track a\n v50 d4:8 e4 d4 e4 v96 e4:2 |\n c4:1 |\nend\n");
  ASSERT_EQ(withPattern.error, "");
  EXPECT_EQ(withPattern.midi, spelledOut.midi);
}

TEST(NoteCompiler, DrumsIgnoreTransposeAndSharpsAreNotComments) {
  const auto a =
      music::compileNotes("track d channel=10 transpose=5\n kick:4 c#4 r:2 # hit\nend\n");
  const auto b = music::compileNotes("track d channel=10\n kick:4 c#4 r:2\nend\n");
  ASSERT_EQ(a.error, "");
  EXPECT_EQ(a.midi, b.midi);
}

}  // namespace
}  // namespace momiru
