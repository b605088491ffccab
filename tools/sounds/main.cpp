// momiru-sfx: writes our battle sounds, snd01.wav and snd02.wav, into a folder.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "sfx_synth.h"

namespace {

bool save(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) {
    std::cerr << path.string() << ": cannot write\n";
    return false;
  }
  std::cout << path.string() << ": " << bytes.size() << " bytes\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: momiru-sfx OUT-FOLDER\n";
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  const bool ok = save(dir / "snd01.wav", momiru::sfx::hitWav()) &&
                  save(dir / "snd02.wav", momiru::sfx::specialHitWav());
  return ok ? 0 : 1;
}
