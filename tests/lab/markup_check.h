// A well-formedness check of XML (and of HTML written as XML): every tag closed in order,
// attribute values quoted, every '&' a known reference, no raw '<' in text or values, no control
// characters XML cannot hold. Enough to show a page parses the same in any reader.
#pragma once

#include <cctype>
#include <string>
#include <vector>

namespace momiru::testing {

// "" when `doc` is well formed, otherwise what is wrong and where.
inline std::string markupProblem(const std::string& doc) {
  std::size_t i = 0;
  const auto where = [&](const std::string& what) {
    return what + " at byte " + std::to_string(i) + ": ..." + doc.substr(i, 40);
  };
  const auto reference = [&](std::size_t at) -> std::size_t {  // length of a valid one, or 0
    const std::size_t end = doc.find(';', at);
    if (end == std::string::npos || end - at > 10) return 0;
    const std::string name = doc.substr(at + 1, end - at - 1);
    if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos") {
      return end - at + 1;
    }
    if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x';
      const std::string digits = name.substr(hex ? 2 : 1);
      if (digits.empty()) return 0;
      for (const char c : digits) {
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(c))
                  : std::isdigit(static_cast<unsigned char>(c))))
          return 0;
      }
      return end - at + 1;
    }
    return 0;
  };
  const auto nameChar = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' ||
           c == '.';
  };
  for (const char c : doc) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 && c != '\n' && c != '\t' && c != '\r') return "control character in the page";
  }
  if (doc.rfind("<!DOCTYPE", 0) == 0) i = doc.find('>') + 1;
  std::vector<std::string> open;
  bool rootSeen = false;
  while (i < doc.size()) {
    if (doc[i] == '&') {
      const std::size_t n = reference(i);
      if (n == 0) return where("bad reference");
      i += n;
      continue;
    }
    if (doc[i] != '<') {
      if (open.empty() && !std::isspace(static_cast<unsigned char>(doc[i]))) {
        return where("text outside the root");
      }
      ++i;
      continue;
    }
    if (doc.compare(i, 4, "<!--") == 0) {
      const std::size_t end = doc.find("-->", i);
      if (end == std::string::npos) return where("unclosed comment");
      i = end + 3;
      continue;
    }
    if (doc.compare(i, 2, "</") == 0) {
      std::size_t k = i + 2;
      while (k < doc.size() && nameChar(doc[k])) ++k;
      const std::string name = doc.substr(i + 2, k - i - 2);
      while (k < doc.size() && std::isspace(static_cast<unsigned char>(doc[k]))) ++k;
      if (k >= doc.size() || doc[k] != '>') return where("bad end tag");
      if (open.empty() || open.back() != name) return where("end tag </" + name + "> out of order");
      open.pop_back();
      i = k + 1;
      continue;
    }
    std::size_t k = i + 1;
    while (k < doc.size() && nameChar(doc[k])) ++k;
    const std::string name = doc.substr(i + 1, k - i - 1);
    if (name.empty()) return where("raw '<'");
    if (open.empty() && rootSeen) return where("second root");
    for (;;) {
      while (k < doc.size() && std::isspace(static_cast<unsigned char>(doc[k]))) ++k;
      if (k >= doc.size()) return where("unclosed tag");
      if (doc[k] == '>') {
        open.push_back(name);
        rootSeen = true;
        i = k + 1;
        break;
      }
      if (doc.compare(k, 2, "/>") == 0) {
        rootSeen = true;
        i = k + 2;
        break;
      }
      const std::size_t attrStart = k;
      while (k < doc.size() && nameChar(doc[k])) ++k;
      if (k == attrStart || k >= doc.size() || doc[k] != '=') return where("bad attribute");
      ++k;
      if (k >= doc.size() || (doc[k] != '"' && doc[k] != '\'')) return where("unquoted value");
      const char quote = doc[k++];
      while (k < doc.size() && doc[k] != quote) {
        if (doc[k] == '<') return where("'<' in a value");
        if (doc[k] == '&') {
          const std::size_t n = reference(k);
          if (n == 0) return where("bad reference in a value");
          k += n;
        } else {
          ++k;
        }
      }
      if (k >= doc.size()) return where("unclosed value");
      ++k;
      if (k < doc.size() && !std::isspace(static_cast<unsigned char>(doc[k])) && doc[k] != '>' &&
          doc[k] != '/') {
        return where("no space between attributes");
      }
    }
  }
  if (!open.empty()) return "unclosed <" + open.back() + ">";
  if (!rootSeen) return "no element";
  return "";
}

}  // namespace momiru::testing
