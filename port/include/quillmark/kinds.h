// The kinds of declaration Quillmark comments, and the one table that names
// them for people, for programs, for `batch --kinds` and for the templates.
// The engine, the syntax parser, the command line and the language server all
// use these; no other list of kinds exists.
#pragma once

#include <string_view>

namespace quillmark {

// The numbers are the template tree's kind numbers, which the settings file
// and the Windows module share.
enum class DeclKind : int {
  None = -1,
  Class = 0,
  Struct = 1,
  Union = 2,
  Enum = 3,
  Function = 4,
  MemberFunction = 5,
  Macro = 6,
  MacroWithParams = 7,
  Interface = 8,
  FileHeader = 9,
  MethodDeclaration = 11,
  MethodImplementation = 12,
};

struct KindNames {
  DeclKind kind;
  std::string_view words;        // for people: "member function"
  std::string_view identifier;   // for programs: "member_function"
  std::string_view batchWord;    // for `batch --kinds`; empty when batch cannot find it
  std::string_view shortWords;   // for an action's title: "macro", "method"
  std::string_view placeholder;  // the template's placeholder for the name; empty for none
};

inline constexpr KindNames kKindNames[] = {
    {DeclKind::Class, "class", "class", "class", "class", "%ClassName%"},
    {DeclKind::Struct, "struct", "struct", "struct", "struct", "%StructName%"},
    {DeclKind::Union, "union", "union", "union", "union", "%UnionName%"},
    {DeclKind::Enum, "enum", "enum", "enum", "enum", "%EnumName%"},
    {DeclKind::Function, "function", "function", "function", "function", "%Function%"},
    {DeclKind::MemberFunction, "member function", "member_function", "member", "member function",
     "%Function%"},
    {DeclKind::Macro, "macro", "macro", "macro", "macro", "%MicroName%"},
    {DeclKind::MacroWithParams, "macro with parameters", "macro_with_params", "param-macro",
     "macro", "%MicroName%"},
    {DeclKind::Interface, "interface", "interface", "interface", "interface", "%Interface%"},
    {DeclKind::FileHeader, "file header", "file_header", "", "file header", ""},
    {DeclKind::MethodDeclaration, "method declaration", "method_declaration", "method", "method",
     "%MethodName%"},
    {DeclKind::MethodImplementation, "method implementation", "method_implementation",
     "method-impl", "method implementation", "%MethodName%"},
};

// The kind's row; null for None.
constexpr const KindNames* NamesOf(DeclKind kind) {
  for (const KindNames& names : kKindNames)
    if (names.kind == kind) return &names;
  return nullptr;
}

}  // namespace quillmark
