// momiru-compose: compiles a note-list text into a Standard MIDI File.
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "notes_compiler.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: momiru-compose IN.notes OUT.mid\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << argv[1] << ": cannot read\n";
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();
  const momiru::music::CompileResult result = momiru::music::compileNotes(text.str());
  if (!result.error.empty()) {
    std::cerr << argv[1] << ": " << result.error << "\n";
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(result.midi.data()),
            static_cast<std::streamsize>(result.midi.size()));
  if (!out.flush()) {
    std::cerr << argv[2] << ": cannot write\n";
    return 1;
  }
  std::cout << argv[2] << ": " << result.midi.size() << " bytes, " << result.seconds << " s\n";
  return 0;
}
