// Writing save-data files: multiplying by the key, the check value, code page 932 and CR LF lines.
#include "data/save_data_writer.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include "data/arith.h"

namespace momiru {

namespace {

void setError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

std::optional<std::string> utf8ToCp932(const std::string& utf8) {
  if (utf8.empty()) return std::string();
  UErrorCode status = U_ZERO_ERROR;
  int32_t units = 0;
  std::u16string utf16(utf8.size() + 1, u'\0');
  u_strFromUTF8(utf16.data(), static_cast<int32_t>(utf16.size()), &units, utf8.data(),
                static_cast<int32_t>(utf8.size()), &status);
  if (U_FAILURE(status) || units < 0) return std::nullopt;

  UConverter* conv = ucnv_open("windows-31j", &status);
  if (U_FAILURE(status)) return std::nullopt;
  ucnv_setFromUCallBack(conv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  std::string bytes(static_cast<std::size_t>(units) * 2 + 1, '\0');
  const int32_t length = ucnv_fromUChars(conv, bytes.data(), static_cast<int32_t>(bytes.size()),
                                         utf16.data(), units, &status);
  ucnv_close(conv);
  if (U_FAILURE(status) || length < 0) return std::nullopt;
  bytes.resize(static_cast<std::size_t>(length));
  return bytes;
}

}  // namespace

std::optional<StoredRecord> storeSaveData(const Combatant& record, const LoadValues& values,
                                          std::string* error) {
  StoredRecord stored;
  std::size_t i = 0;
  bool ok = true;
  const auto put = [&](std::int32_t value, bool scaled) {
    const std::int64_t product = scaled ? std::int64_t{value} * values.key : value;
    const auto v = toInt32(static_cast<double>(product));
    if (!v && ok) {
      ok = false;
      setError(error, std::string(saveDataFieldName(static_cast<int>(i))) + " times the key " +
                          decimal(values.key) + " is outside the 32-bit range");
    }
    stored.numbers[i++] = v.value_or(0);
  };
  put(values.key, false);
  put(values.checkSum, false);
  for (std::size_t p = 0; p < kParts; ++p) {
    put(record.hp[p], true);
    put(record.attack[p], true);
    put(record.defence[p], true);
  }
  for (std::size_t k = 0; k < 2; ++k) {
    put(values.storedLevels[k], true);
    put(values.storedPortraits[k], true);
  }
  for (const std::int32_t pow : record.movePower) put(pow, true);
  for (const std::int32_t v : {values.threeNumbers[0], values.threeNumbers[1],
                               values.threeNumbers[2], values.fiveNumbers[0], values.fiveNumbers[1],
                               values.fiveNumbers[2], values.fiveNumbers[3], values.fiveNumbers[4]})
    put(v, true);
  if (!ok) return std::nullopt;

  std::size_t t = 0;
  stored.texts[t++] = values.storedText;
  stored.texts[t++] = values.storedNames[0];
  stored.texts[t++] = values.storedNames[1];
  for (const std::string& name : record.moveNames) stored.texts[t++] = name;
  return stored;
}

std::optional<std::string> writeSaveData(const std::vector<StoredRecord>& records,
                                         std::string* error) {
  // Fields per line, group by group; the texts start at field kSaveDataNumbers.
  static constexpr int kLineFields[] = {2, 3, 3, 3, 3, 2, 2, 1, 1, 1, 1, 1, 1, 1,
                                        1, 3, 5, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  std::string out;
  for (const StoredRecord& stored : records) {
    int field = 0;
    for (const int count : kLineFields) {
      for (int k = 0; k < count; ++k, ++field) {
        if (k > 0) out += ',';
        if (field < kSaveDataNumbers) {
          out += decimal(stored.numbers[static_cast<std::size_t>(field)]);
          continue;
        }
        const std::string& text = stored.texts[static_cast<std::size_t>(field - kSaveDataNumbers)];
        if (text.find_first_of("\"\r\n") != std::string::npos) {
          setError(error, std::string(saveDataFieldName(field)) + " holds a quote or a line break");
          return std::nullopt;
        }
        const auto bytes = utf8ToCp932(text);
        if (!bytes) {
          setError(error, std::string(saveDataFieldName(field)) + " \"" + text +
                              "\" has a character that code page 932 lacks");
          return std::nullopt;
        }
        out += '"' + *bytes + '"';
      }
      out += "\r\n";
    }
  }
  return out;
}

std::optional<std::string> encodeSaveData(const Combatant& record, const LoadValues& values,
                                          std::optional<std::int32_t> check, std::string* error) {
  LoadValues v = values;
  if (check) {
    v.checkSum = *check;
  } else {
    const auto sum = SaveDataCheckSum(record, values);
    if (!sum) {
      setError(error, "the check sum is outside the 32-bit range");
      return std::nullopt;
    }
    v.checkSum = *sum;
  }
  const auto stored = storeSaveData(record, v, error);
  if (!stored) return std::nullopt;
  return writeSaveData({*stored}, error);
}

}  // namespace momiru
