// momiru-prerender: renders our pictures and music ahead, for a build of the game that can draw
// neither (no SVG renderer, no synthesizer), with the same code the game draws and plays them
// with here, so that both look and sound the same.
//
//   momiru-prerender pictures SVG_FOLDER OUT_FOLDER
//       every picture the screens draw, at the size they draw it, at 1x and 2x, as PNG files
//       named as the picture bank looks them up
//   momiru-prerender icons OUT_FOLDER SVG...
//       each icon at every side of a window's icon, as OUT_FOLDER/<stem>-<side>.png (what the
//       build makes the system's .ico files of)
//   momiru-prerender music SOUNDFONT OUT_FOLDER MIDI...
//       each piece as the music cache would hold it at 44100 Hz, losslessly in FLAC, as
//       OUT_FOLDER/renderings/<SHA-256 of the MIDI file>.flac
//
// Each file is written under a temporary name and renamed into place once whole.
#include <sndfile.h>

#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "data/platform.h"
#include "media/midi_length.h"
#include "media/midi_rendering.h"
#include "media/music_cache.h"
#include "media/music_file.h"
#include "ui/picture_bank.h"

namespace fs = std::filesystem;
using momiru::pathToUtf8;

namespace {

constexpr int kRate = 44100;

int fail(const std::string& what) {
  std::fprintf(stderr, "momiru-prerender: %s\n", what.c_str());
  return 1;
}

// Renames `from` to `to`, replacing it; false (and `from` removed) when that fails.
bool putInPlace(const fs::path& from, const fs::path& to) {
  if (momiru::renameOver(from, to)) return true;
  momiru::removeFile(from);
  return false;
}

// Writes `pixmap` as the PNG file `target`.
bool savePng(const QPixmap& pixmap, const fs::path& target) {
  const fs::path temporary = fs::path(target).concat(".part");
  return pixmap.toImage().save(QString::fromStdString(pathToUtf8(temporary)), "PNG", 9) &&
         putInPlace(temporary, target);
}

int pictures(const fs::path& svgFolder, const fs::path& out) {
  std::error_code ec;
  fs::create_directories(out, ec);
  const momiru::ui::PictureBank bank(
      [&](const fs::path& relative) -> fs::path {
        const fs::path file = svgFolder / relative.filename();
        return fs::is_regular_file(file, ec) ? file : fs::path();
      },
      momiru::ui::PictureBank::Source::Svg);
  int written = 0;
  for (const auto& [name, size] : momiru::ui::drawnPictures()) {
    for (int scale : {1, 2}) {
      const QPixmap pixmap = bank.picture(name, size, scale);
      if (pixmap.isNull()) return fail("cannot draw " + name.toStdString());
      const fs::path target =
          out / momiru::utf8ToPath(
                    momiru::ui::PictureBank::prerenderedName(name, size, scale).toStdString());
      if (!savePng(pixmap, target)) return fail("cannot write " + pathToUtf8(target));
      ++written;
    }
  }
  std::printf("%d pictures in %s\n", written, pathToUtf8(out).c_str());
  return 0;
}

int icons(const fs::path& out, const std::vector<fs::path>& svgs) {
  std::error_code ec;
  fs::create_directories(out, ec);
  for (const fs::path& svg : svgs) {
    const momiru::ui::PictureBank bank([&](const fs::path&) { return svg; },
                                       momiru::ui::PictureBank::Source::Svg);
    for (int side : momiru::ui::kWindowIconSides) {
      const QPixmap pixmap = bank.picture(QStringLiteral("icon"), QSize(side, side));
      if (pixmap.isNull()) return fail("cannot draw " + pathToUtf8(svg));
      const fs::path target = out / (pathToUtf8(svg.stem()) + "-" + std::to_string(side) + ".png");
      if (!savePng(pixmap, target)) return fail("cannot write " + pathToUtf8(target));
    }
  }
  return 0;
}

// Copies the 16-bit stereo samples of the WAV file `wav` into the FLAC file `flac`.
bool wavToFlac(const fs::path& wav, const fs::path& flac) {
  SF_INFO in{};
  SNDFILE* reader = sf_open(pathToUtf8(wav).c_str(), SFM_READ, &in);
  if (reader == nullptr) return false;
  SF_INFO format{};
  format.samplerate = in.samplerate;
  format.channels = in.channels;
  format.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  SNDFILE* writer = sf_open(pathToUtf8(flac).c_str(), SFM_WRITE, &format);
  bool ok = writer != nullptr;
  std::vector<short> block(4096 * static_cast<std::size_t>(in.channels));
  sf_count_t frames = 0;
  while (ok && (frames = sf_readf_short(reader, block.data(), 4096)) > 0)
    ok = sf_writef_short(writer, block.data(), frames) == frames;
  sf_close(reader);
  if (writer != nullptr) ok = sf_close(writer) == 0 && ok;
  return ok;
}

int music(const std::string& soundFont, const fs::path& out, const std::vector<fs::path>& midis) {
  std::error_code ec;
  for (const fs::path& file : midis) {
    std::vector<std::uint8_t> midi = momiru::media::readSmallFile(file);
    const auto seconds = momiru::media::midiSeconds(midi);
    if (!momiru::media::looksLikeMidi(midi) || !seconds)
      return fail(pathToUtf8(file) + " is not a MIDI file");
    const fs::path target = out / momiru::media::shippedRenderingName(midi);
    auto plan = momiru::media::planRendering(std::move(midi), *seconds, soundFont, kRate);
    if (!plan) return fail(pathToUtf8(file) + " is too long to render");
    // The cache's own writer and format first, then the same samples into FLAC.
    const fs::path work = target.parent_path() / ".rendering";
    fs::create_directories(work, ec);
    const momiru::media::MusicCache cache(work);
    const std::string name = pathToUtf8(file.filename());
    {
      momiru::media::CacheWriter writer(cache, name, plan->key, plan->rate, plan->frames);
      const std::atomic<bool> stop{false};
      if (!momiru::media::renderMidi(*plan, stop, writer))
        return fail("cannot render " + pathToUtf8(file) + " with " + soundFont);
    }
    const fs::path temporary = fs::path(target).concat(".part");
    const bool ok = wavToFlac(cache.fileFor(name), temporary) && putInPlace(temporary, target);
    fs::remove_all(work, ec);
    if (!ok) return fail("cannot write " + pathToUtf8(target));
    std::printf("%s: %.1f s as %s\n", pathToUtf8(file.filename()).c_str(), *seconds,
                pathToUtf8(target).c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "pictures") {
    QGuiApplication app(argc, argv);  // the picture bank's pixmaps need one
    return pictures(momiru::utf8ToPath(args[1]), momiru::utf8ToPath(args[2]));
  }
  if (args.size() >= 3 && args[0] == "icons") {
    QGuiApplication app(argc, argv);
    std::vector<fs::path> svgs;
    for (std::size_t i = 2; i < args.size(); ++i) svgs.push_back(momiru::utf8ToPath(args[i]));
    return icons(momiru::utf8ToPath(args[1]), svgs);
  }
  if (args.size() >= 4 && args[0] == "music") {
    std::vector<fs::path> midis;
    for (std::size_t i = 3; i < args.size(); ++i) midis.push_back(momiru::utf8ToPath(args[i]));
    return music(args[1], momiru::utf8ToPath(args[2]), midis);
  }
  std::fputs(
      "usage: momiru-prerender pictures SVG_FOLDER OUT_FOLDER\n"
      "       momiru-prerender icons OUT_FOLDER SVG...\n"
      "       momiru-prerender music SOUNDFONT OUT_FOLDER MIDI...\n",
      stderr);
  return 64;
}
