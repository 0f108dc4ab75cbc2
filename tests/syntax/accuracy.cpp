// Measures the syntax parser on a collected set of real declarations.
//   quillmark_syntax_accuracy FILE [--min RATIO]   prints each miss and "accuracy: N/M"
//   quillmark_syntax_accuracy FILE --selection-only  the same with the selection alone
//   quillmark_syntax_accuracy FILE --print         prints the set with the fields the
//                                                  parser gives (to review new rows)
// FILE holds records opened by "== SOURCE"; "text:" lines (joined with line breaks)
// are the selection; the expected fields follow as "kind:", "name:", "scope:",
// "return:", "underlying:", and repeatable "base:", "param:" (with an optional
// "default:" for the parameter above it) and "macro-param:". A field left out is empty.
// "before:" and "after:" lines (joined with line breaks) are the document around the
// selection, for members selected inside their class; without them the parser sees
// the selection alone.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "quillmark/syntax.h"

namespace {

using quillmark::syntax::Kind;
using quillmark::syntax::ParsedDeclaration;

struct Record {
  std::string source;
  std::string text;
  std::vector<std::string> before;
  std::vector<std::string> after;
  ParsedDeclaration expected;
};

bool ReadRecords(const char* path, std::vector<Record>* records, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = std::string("cannot read ") + path;
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("== ", 0) == 0) {
      records->push_back({line.substr(3), {}, {}, {}, {}});
      continue;
    }
    const std::size_t colon = line.find(": ");
    const std::string key = line.substr(0, colon == std::string::npos ? line.size() - 1 : colon);
    const std::string value = colon == std::string::npos ? std::string() : line.substr(colon + 2);
    if (records->empty()) {
      *error = "line " + std::to_string(number) + ": a field before the first record";
      return false;
    }
    Record& r = records->back();
    ParsedDeclaration& e = r.expected;
    if (key == "text") {
      if (!r.text.empty()) r.text += "\n";
      r.text += value;
    } else if (key == "before") {
      r.before.push_back(value);
    } else if (key == "after") {
      r.after.push_back(value);
    } else if (key == "kind") {
      e.kind = static_cast<Kind>(std::atoi(value.c_str()));
    } else if (key == "name") {
      e.name = value;
    } else if (key == "scope") {
      e.scope = value;
    } else if (key == "return") {
      e.returnType = value;
    } else if (key == "underlying") {
      e.underlyingType = value;
    } else if (key == "base") {
      e.bases.push_back(value);
    } else if (key == "param") {
      e.parameters.push_back({value, {}});
    } else if (key == "default" && !e.parameters.empty()) {
      e.parameters.back().defaultValue = value;
    } else if (key == "macro-param") {
      e.macroParameters.push_back(value);
    } else {
      *error = "line " + std::to_string(number) + ": unknown field \"" + key + "\"";
      return false;
    }
  }
  return true;
}

std::string Describe(const ParsedDeclaration& d) {
  std::ostringstream out;
  out << "kind: " << static_cast<int>(d.kind) << "\n";
  if (!d.name.empty()) out << "name: " << d.name << "\n";
  if (!d.scope.empty()) out << "scope: " << d.scope << "\n";
  if (!d.returnType.empty()) out << "return: " << d.returnType << "\n";
  if (!d.underlyingType.empty()) out << "underlying: " << d.underlyingType << "\n";
  for (const std::string& b : d.bases) out << "base: " << b << "\n";
  for (const auto& p : d.parameters) {
    out << "param: " << p.text << "\n";
    if (!p.defaultValue.empty()) out << "default: " << p.defaultValue << "\n";
  }
  for (const std::string& m : d.macroParameters) out << "macro-param: " << m << "\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [--min RATIO | --selection-only | --print]\n", argv[0]);
    return 2;
  }
  double minimum = 0;
  bool print = false;
  bool selectionOnly = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--min" && i + 1 < argc) {
      minimum = std::atof(argv[++i]);
    } else if (arg == "--selection-only") {
      selectionOnly = true;
    } else if (arg == "--print") {
      print = true;
    } else {
      std::fprintf(stderr, "unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  std::vector<Record> records;
  std::string error;
  if (!ReadRecords(argv[1], &records, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  quillmark::syntax::DeclarationParser parser;
  int right = 0;
  for (const Record& r : records) {
    ParsedDeclaration got;
    std::string why;
    // The document is the lines above, the selection and the lines below.
    std::string document;
    for (const std::string& l : r.before) document += l + "\n";
    const std::size_t offset = document.size();
    document += r.text;
    for (const std::string& l : r.after) document += "\n" + l;
    const bool withDocument = !selectionOnly && (!r.before.empty() || !r.after.empty());
    const bool parsed = parser.ParseDeclaration(
        {r.text, withDocument ? std::string_view(document) : std::string_view(),
         withDocument ? offset : 0},
        &got, &why);
    if (print) {
      std::cout << "== " << r.source << "\n";
      for (const std::string& l : r.before) std::cout << "before: " << l << "\n";
      std::istringstream lines(r.text);
      for (std::string l; std::getline(lines, l);) std::cout << "text: " << l << "\n";
      for (const std::string& l : r.after) std::cout << "after: " << l << "\n";
      std::cout << (parsed ? Describe(got) : "# failed: " + why + "\n") << "\n";
      continue;
    }
    const std::string want = Describe(r.expected);
    const std::string have = parsed ? Describe(got) : "failed: " + why + "\n";
    if (want == have) {
      ++right;
    } else {
      std::cout << "MISS " << r.source << "\n"
                << r.text << "\n-- expected\n"
                << want << "-- got\n"
                << have << "\n";
    }
  }
  if (print) return 0;
  const double ratio = records.empty() ? 0 : static_cast<double>(right) / records.size();
  std::printf("accuracy: %d/%zu (%.1f%%), every field right\n", right, records.size(), ratio * 100);
  return ratio >= minimum ? 0 : 1;
}
