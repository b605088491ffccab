// Reading save-data files: the field rules, code page 932, records, the key and the check value.
#include "data/save_data.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <cmath>
#include <istream>
#include <sstream>
#include <streambuf>
#include <system_error>

#include "data/arith.h"
#include "data/platform.h"

namespace momiru {

namespace {

// No field of a real character is this long. The caps keep the memory of a read
// bounded whatever the file holds; blanks around a field are skipped without being kept.
constexpr std::size_t kMaxNumberChars = 32;
constexpr std::size_t kMaxTextBytes = 1024;

// Indexes of the numbers in file order (see StoredRecord).
constexpr int kKeyField = 0;
constexpr int kCheckField = 1;
constexpr int kPartsField = 2;    // HP, OFE, DEF of part 0, then part 1, ...
constexpr int kLevelsField = 14;  // SaveLv[0], SavePic[0], SaveLv[1], SavePic[1]
constexpr int kPowersField = 18;  // WazaPow[0..7]
constexpr int kThreeField = 26;   // SaveF, SaveG, SaveH
constexpr int kFiveField = 29;    // SaveA .. SaveE
constexpr int kTextField = 0;     // texts[]: SaveText, SaveName[0..1], WazaName[0..7]
constexpr int kNamesField = 1;
constexpr int kMoveNamesField = 3;

const std::array<std::string, kSaveDataFields>& fieldNames() {
  static const std::array<std::string, kSaveDataFields> names = [] {
    std::array<std::string, kSaveDataFields> n;
    std::size_t i = 0;
    const auto indexed = [](const char* base, int k) {
      return std::string(base) + "[" + std::to_string(k) + "]";
    };
    n[i++] = "SaveKey";
    n[i++] = "SaveCheck";
    for (int p = 0; p < kParts; ++p) {
      n[i++] = indexed("HP", p);
      n[i++] = indexed("OFE", p);
      n[i++] = indexed("DEF", p);
    }
    for (int k = 0; k < 2; ++k) {
      n[i++] = indexed("SaveLv", k);
      n[i++] = indexed("SavePic", k);
    }
    for (int m = 0; m < kMoves; ++m) n[i++] = indexed("WazaPow", m);
    for (const char* s : {"SaveF", "SaveG", "SaveH", "SaveA", "SaveB", "SaveC", "SaveD", "SaveE"})
      n[i++] = s;
    n[i++] = "SaveText";
    for (int k = 0; k < 2; ++k) n[i++] = indexed("SaveName", k);
    for (int m = 0; m < kMoves; ++m) n[i++] = indexed("WazaName", m);
    return n;
  }();
  return names;
}

std::string fieldName(int index) { return std::string(saveDataFieldName(index)); }

// Code page 932 bytes to UTF-8 through ICU's Windows converter, which keeps the Windows mappings
// (0x8160 is U+FF5E, NEC and IBM extensions) and leaves half-width katakana half-width. Bytes
// that are not code page 932 are refused, not replaced.
class Cp932Decoder {
 public:
  Cp932Decoder() {
    UErrorCode status = U_ZERO_ERROR;
    conv_ = ucnv_open("windows-31j", &status);
    if (U_FAILURE(status)) {
      conv_ = nullptr;
      return;
    }
    ucnv_setToUCallBack(conv_, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  }
  ~Cp932Decoder() {
    if (conv_ != nullptr) ucnv_close(conv_);
  }
  Cp932Decoder(const Cp932Decoder&) = delete;
  Cp932Decoder& operator=(const Cp932Decoder&) = delete;

  bool ready() const { return conv_ != nullptr; }

  std::optional<std::string> toUtf8(const std::string& bytes) {
    if (bytes.empty()) return std::string();
    if (conv_ == nullptr) return std::nullopt;
    ucnv_resetToUnicode(conv_);
    UErrorCode status = U_ZERO_ERROR;
    std::u16string utf16(bytes.size() + 1, u'\0');  // a byte never gives more than one unit
    const int32_t units = ucnv_toUChars(conv_, utf16.data(), static_cast<int32_t>(utf16.size()),
                                        bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status) || units < 0) return std::nullopt;
    std::string utf8(static_cast<std::size_t>(units) * 3 + 1, '\0');
    int32_t length = 0;
    u_strToUTF8(utf8.data(), static_cast<int32_t>(utf8.size()), &length, utf16.data(), units,
                &status);
    if (U_FAILURE(status) || length < 0) return std::nullopt;
    utf8.resize(static_cast<std::size_t>(length));
    return utf8;
  }

 private:
  UConverter* conv_ = nullptr;
};

// Pulls fields off a stream buffer one byte at a time. The stream buffer reads the file in
// chunks, so nothing but the current field is ever held.
class FieldScanner {
 public:
  explicit FieldScanner(std::streambuf& buf) : buf_(buf) {}

  bool ready() const { return decoder_.ready(); }

  // The end-of-file test before each record. Blank space and empty lines after the last record
  // are not a new record.
  bool atEnd() {
    for (int c = peek(); c == ' ' || c == '\t' || c == '\r' || c == '\n'; c = peek()) skip();
    return peek() == kEnd;
  }

  // Each returns an error text, or nothing when the field was read.
  std::optional<std::string> readNumber(const std::string& name, std::int32_t& out) {
    skipBlanks();
    if (peek() == kEnd) return endsEarly(name);
    const bool negative = peek() == '-';
    if (negative) skip();
    std::int64_t value = 0;
    std::size_t chars = negative ? 1 : 0;
    bool digits = false;
    for (int c = peek(); c >= '0' && c <= '9'; c = peek()) {
      skip();
      digits = true;
      if (++chars > kMaxNumberChars)
        return name + " is longer than " + decimal(kMaxNumberChars) + " characters";
      // Past the 32-bit range the value only grows; stop it there so it cannot overflow.
      if (value <= std::int64_t{1} << 32) value = value * 10 + (c - '0');
    }
    if (!digits) return name + " is not a whole number";
    if (negative) value = -value;
    const auto v = toInt32(static_cast<double>(value));
    if (!v) return name + " is outside the 32-bit range";
    if (auto error = endField(name, "a whole number")) return error;
    out = *v;
    return std::nullopt;
  }

  std::optional<std::string> readText(const std::string& name, std::string& out) {
    skipBlanks();
    if (peek() == kEnd) return endsEarly(name);
    std::string raw;
    if (peek() == '"') {
      skip();
      for (int c = peek();; c = peek()) {
        if (c == kEnd) return endsEarly(name);
        if (c == '\r' || c == '\n') return name + " has no closing quote on its line";
        skip();
        if (c == '"') break;
        if (raw.size() == kMaxTextBytes)
          return name + " is longer than " + decimal(kMaxTextBytes) + " bytes";
        raw += static_cast<char>(c);
      }
    } else {
      // An unquoted text runs to the next comma or line end, blanks at its end trimmed.
      for (int c = peek(); c != kEnd && c != ',' && c != '\r' && c != '\n'; c = peek()) {
        if (c == '"') return name + " has a quote inside an unquoted text";
        skip();
        if (raw.size() == kMaxTextBytes)
          return name + " is longer than " + decimal(kMaxTextBytes) + " bytes";
        raw += static_cast<char>(c);
      }
      while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\t')) raw.pop_back();
    }
    if (auto error = endField(name, "a text")) return error;
    // Names and move names hold no control characters, so a text with one is refused; code page
    // 932 never uses these bytes inside a double-byte character, so the test on bytes is exact.
    for (const char ch : raw) {
      const auto b = static_cast<unsigned char>(ch);
      if ((b < 0x20 && b != '\t') || b == 0x7F) return name + " holds a control character";
    }
    auto utf8 = decoder_.toUtf8(raw);
    if (!utf8) return name + " is not code page 932 text";
    out = std::move(*utf8);
    return std::nullopt;
  }

 private:
  static constexpr int kEnd = std::char_traits<char>::eof();

  int peek() { return buf_.sgetc(); }
  void skip() { buf_.sbumpc(); }
  void skipBlanks() {
    for (int c = peek(); c == ' ' || c == '\t'; c = peek()) skip();
  }
  static std::string endsEarly(const std::string& name) {
    return "the record ends early: " + name + " is missing";
  }

  // After a value: blanks, then a comma, a line break or the end of the file.
  std::optional<std::string> endField(const std::string& name, const char* what) {
    skipBlanks();
    const int c = peek();
    if (c == ',' || c == '\n') {
      skip();
    } else if (c == '\r') {
      skip();
      if (peek() == '\n') skip();
    } else if (c != kEnd) {
      return name + " is not " + what + " (it goes on after the value)";
    }
    return std::nullopt;
  }

  std::streambuf& buf_;
  Cp932Decoder decoder_;
};

std::optional<std::string> readRecord(FieldScanner& scanner, StoredRecord& stored) {
  for (int i = 0; i < kSaveDataNumbers; ++i) {
    if (auto error = scanner.readNumber(fieldName(i), stored.numbers[static_cast<std::size_t>(i)]))
      return error;
  }
  for (int j = 0; j < kSaveDataTexts; ++j) {
    if (auto error = scanner.readText(fieldName(kSaveDataNumbers + j),
                                      stored.texts[static_cast<std::size_t>(j)]))
      return error;
  }
  return std::nullopt;
}

struct Decoded {
  Combatant record;
  LoadValues values;
  std::vector<std::string> notMultiples;
};

// DecodeSaveData on a scratch copy: divides every number of groups 2 to 6 by the key (parts,
// levels and pictures, move powers, SaveA..SaveE, SaveF..SaveH; the first quotient out of range
// is the one reported), keeping a number that is not a multiple as stored and marking Tampered.
// Fails on a key of 0 and on a quotient outside the 32-bit range (only INT32_MIN ÷ -1).
std::optional<std::string> DecodeSaveData(const StoredRecord& stored, Decoded& out) {
  Combatant& c = out.record;
  LoadValues& v = out.values;
  const auto num = [&](int i) { return stored.numbers[static_cast<std::size_t>(i)]; };
  v.key = num(kKeyField);
  v.checkSum = num(kCheckField);
  if (v.key == 0) return std::string("the key (SaveKey) is 0");

  std::optional<std::string> failure;
  const auto divide = [&](int i, std::int32_t& target) {
    const std::int32_t stored_value = num(i);
    const double q = static_cast<double>(stored_value) / static_cast<double>(v.key);
    if (std::floor(q) != q) {
      v.tampered = 1;
      out.notMultiples.push_back(fieldName(i));
      target = stored_value;
      return;
    }
    const auto whole = toInt32(q);
    if (!whole) {
      if (!failure) failure = fieldName(i) + " divided by the key is outside the 32-bit range";
      return;
    }
    target = *whole;
  };

  v.tampered = 0;
  for (std::size_t p = 0; p < kParts; ++p) {
    const int base = kPartsField + static_cast<int>(p) * 3;
    divide(base, c.hp[p]);
    divide(base + 1, c.attack[p]);
    divide(base + 2, c.defence[p]);
  }
  for (std::size_t k = 0; k < 2; ++k) {
    divide(kLevelsField + static_cast<int>(k) * 2, v.storedLevels[k]);
    divide(kLevelsField + static_cast<int>(k) * 2 + 1, v.storedPortraits[k]);
  }
  for (std::size_t m = 0; m < kMoves; ++m)
    divide(kPowersField + static_cast<int>(m), c.movePower[m]);
  divide(kFiveField, v.fiveNumbers[0]);
  divide(kFiveField + 1, v.fiveNumbers[1]);
  divide(kFiveField + 2, v.fiveNumbers[2]);
  divide(kFiveField + 3, v.fiveNumbers[3]);
  divide(kFiveField + 4, v.fiveNumbers[4]);
  divide(kThreeField, v.threeNumbers[0]);
  divide(kThreeField + 1, v.threeNumbers[1]);
  divide(kThreeField + 2, v.threeNumbers[2]);
  if (failure) return failure;

  const auto text = [&](int j) { return stored.texts[static_cast<std::size_t>(j)]; };
  v.storedText = text(kTextField);
  v.storedNames[0] = text(kNamesField);
  v.storedNames[1] = text(kNamesField + 1);
  for (std::size_t m = 0; m < kMoves; ++m)
    c.moveNames[m] = text(kMoveNamesField + static_cast<int>(m));

  c.level = v.storedLevels[0];
  c.portrait = v.storedPortraits[0];
  c.name = v.storedNames[0];
  return std::nullopt;
}

std::string joined(const std::vector<std::string>& names) {
  std::string s;
  for (const std::string& n : names) s += (s.empty() ? "" : ", ") + n;
  return s;
}

}  // namespace

std::string_view saveDataFieldName(int index) {
  if (index < 0 || index >= kSaveDataFields) return {};
  return fieldNames()[static_cast<std::size_t>(index)];
}

std::optional<std::int32_t> SaveDataCheckSum(const Combatant& record, const LoadValues& values) {
  std::optional<std::int32_t> sum = record.hp[0];
  for (const std::int32_t term :
       {values.key, record.hp[2], record.attack[1], values.threeNumbers[0], values.threeNumbers[1],
        values.fiveNumbers[0]}) {
    sum = checkedAdd(*sum, term);
    if (!sum) return std::nullopt;
  }
  return sum;
}

SaveDataResult readSaveData(std::istream& in, const std::string& fileName) {
  SaveDataResult result;
  std::streambuf* buf = in.rdbuf();
  if (buf == nullptr) {
    result.reason = "the file cannot be read";
    return result;
  }
  FieldScanner scanner(*buf);
  if (!scanner.ready()) {
    result.reason = "the code page 932 converter is missing from this system";
    return result;
  }
  for (int recordNo = 1; !scanner.atEnd(); ++recordNo) {
    StoredRecord stored;
    Decoded decoded;
    auto error = readRecord(scanner, stored);
    if (!error) error = DecodeSaveData(stored, decoded);
    if (error) {
      result.reason = "record " + decimal(recordNo) + ": " + *error;
      return result;
    }
    result.record = std::move(decoded.record);
    result.values = std::move(decoded.values);
    result.notMultiples = std::move(decoded.notMultiples);
    result.recordRead = true;
  }
  if (!result.recordRead) {
    result.reason = "the file holds no record";
    return result;
  }

  const auto sum = SaveDataCheckSum(result.record, result.values);
  if (!sum) {
    result.reason = "the check sum is outside the 32-bit range";
    return result;
  }
  result.sum = *sum;
  std::vector<std::string> faults;
  if (*sum != result.values.checkSum) {
    faults.push_back("the check value " + decimal(result.values.checkSum) +
                     " differs from the sum " + decimal(*sum));
  }
  if (result.values.tampered != 0) {
    faults.push_back("not multiples of the key " + decimal(result.values.key) + ": " +
                     joined(result.notMultiples));
  }
  if (!faults.empty()) {
    result.outcome = LoadOutcome::Tampered;
    result.reason = faults.size() == 1 ? faults[0] : faults[0] + "; " + faults[1];
    return result;
  }

  result.outcome = LoadOutcome::Loaded;
  result.reason.clear();
  result.record.name = pathToUtf8(utf8ToPath(fileName).filename()) + "の" + result.record.name;
  return result;
}

SaveDataResult readSaveData(const std::string& bytes, const std::string& fileName) {
  std::istringstream in(bytes);
  return readSaveData(in, fileName);
}

SaveDataResult loadSaveData(GameState& gs, int slot, const std::filesystem::path& file) {
  SaveDataResult result;
  if (slot < 0 || slot >= kSlots) {
    result.reason = "there is no slot " + decimal(slot);
    return result;
  }
  if (file.empty()) {
    result.reason = "no file was chosen";
    return result;
  }
  InputFile input(file);
  switch (input.status()) {
    case InputFile::Status::Open:
      break;
    case InputFile::Status::Folder:
      result.reason = "the file cannot be opened: it is a folder";
      return result;
    case InputFile::Status::NotRegular:
      result.reason = "the file cannot be opened: it is not a regular file";
      return result;
    case InputFile::Status::CannotOpen:
      result.reason = "the file cannot be opened";
      return result;
  }
  std::istream in(&input);
  result = readSaveData(in, pathToUtf8(file));
  if (result.outcome == LoadOutcome::Loaded) {
    gs.combatant[static_cast<std::size_t>(slot)] = result.record;
  }
  return result;
}

}  // namespace momiru
