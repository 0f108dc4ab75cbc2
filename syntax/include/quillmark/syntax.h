// The syntax-aware declaration parser: takes a selected C or C++ declaration (or a
// whole file) apart with a real C++ grammar instead of keyword tests, for the modern
// C++ the keyword mode misreads (std:: types, defaults, operators, templates,
// enum class, trailing return types, export macros).
//
// Everything here is UTF-8; a caller holding code page 936 text converts it first
// and converts the fields back. Byte offsets count UTF-8 bytes. Nothing throws;
// there is no global state, and a DeclarationParser serves one thread at a time
// (make one per thread).
//
// How the fields fill a kind's template (the same placeholders as the keyword mode):
//   Class, Struct, Union, Enum: `name` -> %ClassName% / %StructName% / %UnionName% /
//     %EnumName%; `bases` joined with the keyword mode's item separator ->
//     %BaseClassName%. An enum's `underlyingType` has no placeholder of its own.
//   Function: `name` -> %Function%, `returnType` -> %ReturnValue%, `parameters`
//     -> %FunctionParam%, one item per parameter, each `text` or `text = default`
//     when `defaultValue` is not empty (FormatParameter), joined like the bases.
//   MemberFunction: as Function, plus `scope` -> %ClassName%.
//   Macro: `name` -> %MicroName%. MacroWithParams: `name` -> %MicroName%,
//     `macroParameters` -> %FunctionParam% (joined like the bases).
//   Interface: `name` -> %Interface%, `bases` joined -> %BaseInterface%.
//   MethodDeclaration: `name` -> %MethodName%, `returnType` -> %ReturnValue%
//     ("HRESULT" for STDMETHOD), `parameters` -> %FunctionParam%.
//   MethodImplementation: as MethodDeclaration, plus `scope` -> %Interface%.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/kinds.h"

namespace quillmark::syntax {

// The engine's kinds: the parser finds every kind but the file header.
using Kind = DeclKind;

struct Parameter {
  std::string text;          // the parameter as written, without its default
  std::string defaultValue;  // the default argument, or empty
};

// Every field is as written in the source, comments removed and each run of white
// space (line breaks included) collapsed to one blank.
struct ParsedDeclaration {
  Kind kind = Kind::None;
  // The declared name without its scope: "f", "operator()", "operator bool", "~A",
  // "S<T*>" for a partial specialisation, "NAME" of a macro.
  std::string name;
  // The class of a member function: what is written before the final "::" of an
  // out-of-line definition ("A<T>::B"), or the enclosing class (nested classes joined
  // with "::") of a member declared inside a class body, found from the document.
  std::string scope;
  // Functions: the type in front of the name with its const, "*" and "&" ("const
  // std::string&"), storage and function specifiers (static, virtual, inline,
  // explicit, constexpr, friend) left out; the type after "->" of a trailing return
  // type; "void (*)(int)" for a function returning a function pointer; the target
  // type of a conversion operator; empty for constructors and destructors.
  std::string returnType;
  std::vector<std::string> bases;  // each base as written, access keyword and "virtual" dropped
  std::vector<Parameter> parameters;
  std::vector<std::string> macroParameters;
  std::string underlyingType;  // enum E : std::uint8_t -> "std::uint8_t"
};

// "text" or "text = default": the keyword mode's form of one %FunctionParam% item.
std::string FormatParameter(const Parameter& parameter);

struct ParseInput {
  std::string_view selection;  // the selected text, UTF-8
  // The whole document the selection was taken from, or empty; used only to find
  // the class a member is declared in.
  std::string_view document;
  std::size_t selectionOffset = 0;  // byte offset of the selection in `document`
};

// A set of kinds, one bit per Kind value.
using KindMask = std::uint32_t;
constexpr KindMask MaskOf(Kind kind) {
  return kind == Kind::None ? 0u : (1u << static_cast<int>(kind));
}
constexpr KindMask kAllKinds = 0x1FFFu & ~(1u << 9) & ~(1u << 10);
// What a batch run comments unless told otherwise: type definitions, free
// functions, member functions and macros with parameters.
constexpr KindMask kDefaultBatchKinds =
    MaskOf(Kind::Class) | MaskOf(Kind::Struct) | MaskOf(Kind::Union) | MaskOf(Kind::Enum) |
    MaskOf(Kind::Function) | MaskOf(Kind::MemberFunction) | MaskOf(Kind::MacroWithParams);

// How long one parse of a document may take, in microseconds: the grammar's
// error recovery on long runs of junk can take minutes.
inline constexpr std::uint64_t kDefaultParseTimeLimit = 30'000'000;

struct FindOptions {
  KindMask kinds = kDefaultBatchKinds;
  // Also report member functions declared or defined inside class bodies (as
  // MemberFunction with the class in `scope`); out-of-line definitions are always
  // reported when MemberFunction is asked for.
  bool membersInsideClasses = false;
  std::uint64_t parseTimeLimit = kDefaultParseTimeLimit;  // microseconds
};

// Lines of a region the parser could not read and found nothing in (1-based,
// inclusive); both 0 when there is none worth a word.
struct UnreadRegion {
  int firstLine = 0;
  int lastLine = 0;
};

struct FoundDeclaration {
  ParsedDeclaration declaration;
  std::size_t begin = 0;  // byte offset of the start of the declaration's first line
  std::size_t end = 0;    // byte offset just past the declaration (its body included)
  int line = 1;           // 1-based line number of `begin`
  // True when the line directly above `begin` ends a comment ("// ..." or "... */"),
  // or a comment opens the declaration's first line.
  bool commented = false;
  // A function with its body (or "= default", "= delete"); false for a prototype.
  bool definition = false;
};

// Drops from `found` (in document order) the declarations that repeat one a
// block belongs to, so that each thing declared gets one block:
// - a macro defined more than once (in each branch of an #if, say) keeps its
//   first definition;
// - in a source file (`sourceFile`: .c, .cpp and the like, not headers), a
//   function's prototypes are left to its definition later in the file (the
//   first one after them with the same scope, name and number of parameters).
// Commented declarations are never dropped; when one of a thing's declarations
// is commented, its uncommented ones all go: the thing has its comment.
void KeepOneDeclarationEach(std::vector<FoundDeclaration>* found, bool sourceFile);

class DeclarationParser {
 public:
  DeclarationParser();
  ~DeclarationParser();
  DeclarationParser(const DeclarationParser&) = delete;
  DeclarationParser& operator=(const DeclarationParser&) = delete;

  // False (with the reason in `why`) when the runtime cannot load the grammar.
  bool ok() const;

  // Takes one declaration apart. False with a reason in `why` (English) when the
  // selection holds nothing of a known kind; `out` is then reset.
  bool ParseDeclaration(const ParseInput& input, ParsedDeclaration* out, std::string* why);

  // The declaration selected at [begin, end) of a whole UTF-8 document: as
  // ParseDeclaration, with the document to place it. A member function,
  // constructor, destructor or operator selected inside its class body gets that
  // class (nested classes joined with "::") and the MemberFunction kind; a
  // friend stays a function; a template head on the lines directly above
  // belongs to the declaration. A pure function of its arguments.
  bool ParseSelected(std::string_view utf8Document, std::size_t begin, std::size_t end,
                     ParsedDeclaration* out, std::string* why);

  // Every declaration of the requested kinds in the document, in document order.
  // False with a reason when the document cannot be parsed at all, or when a
  // region the parser could not read is most of a long file. `unread`, when
  // given, gets a shorter such region that is still most of the file (a small
  // file whose first lines are broken), so a caller can say what it skipped.
  bool FindDeclarations(std::string_view utf8Document, const FindOptions& options,
                        std::vector<FoundDeclaration>* out, std::string* why,
                        UnreadRegion* unread = nullptr);

 private:
  bool ParseSelection(std::string_view selection, ParsedDeclaration* out, std::string* why);

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// One-shot forms that make a parser for the call.
bool ParseDeclaration(const ParseInput& input, ParsedDeclaration* out, std::string* why);
bool FindDeclarations(std::string_view utf8Document, const FindOptions& options,
                      std::vector<FoundDeclaration>* out, std::string* why,
                      UnreadRegion* unread = nullptr);

}  // namespace quillmark::syntax
