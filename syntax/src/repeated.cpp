// One block for each thing a file declares more than once: a macro defined in
// several #if branches, a function declared ahead of its definition.
#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "quillmark/syntax.h"

namespace quillmark::syntax {
namespace {

bool IsMacro(const FoundDeclaration& f) {
  return f.declaration.kind == Kind::Macro || f.declaration.kind == Kind::MacroWithParams;
}

bool IsFunction(const FoundDeclaration& f) {
  return f.declaration.kind == Kind::Function || f.declaration.kind == Kind::MemberFunction;
}

// "A<T>::B<U>" -> "A::B": an out-of-line definition names its class with the
// template's arguments, the class body it was declared in without them.
std::string ScopeWithoutArguments(std::string_view scope) {
  std::string plain;
  int depth = 0;
  for (const char c : scope) {
    if (c == '<') ++depth;
    if (depth == 0 && c != ' ') plain.push_back(c);
    if (c == '>' && depth > 0) --depth;
  }
  return plain;
}

// True when a definition with scope `definition` can be the one a prototype
// declared in scope `prototype` announces: the same, or one names more of the
// enclosing scopes than the other ("ns::A" and "A").
bool SameScope(const std::string& prototype, const std::string& definition) {
  if (prototype == definition) return true;
  const std::string& longer = prototype.size() > definition.size() ? prototype : definition;
  const std::string& shorter = prototype.size() > definition.size() ? definition : prototype;
  return !shorter.empty() && longer.ends_with("::" + shorter);
}

std::size_t ParameterCount(const ParsedDeclaration& d) {
  // f(void) takes none, as f() does.
  if (d.parameters.size() == 1 && d.parameters[0].text == "void") return 0;
  return d.parameters.size();
}

// Marks in `drop` what repeats a macro defined earlier in the file.
void DropRepeatedMacros(const std::vector<FoundDeclaration>& found, std::vector<bool>& drop) {
  // For each name: the first definition and whether any is commented.
  std::map<std::string, std::tuple<std::size_t, bool>, std::less<> > names;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (!IsMacro(found[i])) continue;
    auto [it, added] = names.try_emplace(found[i].declaration.name, i, false);
    std::get<1>(it->second) = std::get<1>(it->second) || found[i].commented;
  }
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (!IsMacro(found[i]) || found[i].commented) continue;
    const auto& [first, commented] = names.find(found[i].declaration.name)->second;
    if (commented || first != i) drop[i] = true;
  }
}

// Marks in `drop` the prototypes a later definition in the file stands for,
// and a definition whose prototype is commented.
void DropAnnouncedPrototypes(const std::vector<FoundDeclaration>& found, std::vector<bool>& drop) {
  // The definitions of each kind, name, number of parameters and innermost
  // class (scopes that can match share it), in file order.
  using Key = std::tuple<Kind, std::string_view, std::size_t, std::string>;
  const auto keyOf = [](const ParsedDeclaration& d, const std::string& scope) {
    const std::size_t colons = scope.rfind("::");
    return Key{d.kind, d.name, ParameterCount(d),
               colons == std::string::npos ? scope : scope.substr(colons + 2)};
  };
  std::vector<std::string> scopes(found.size());
  std::map<Key, std::vector<std::size_t> > definitions;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (!IsFunction(found[i])) continue;
    scopes[i] = ScopeWithoutArguments(found[i].declaration.scope);
    if (found[i].definition) definitions[keyOf(found[i].declaration, scopes[i])].push_back(i);
  }
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (!IsFunction(found[i]) || found[i].definition) continue;
    const auto same = definitions.find(keyOf(found[i].declaration, scopes[i]));
    if (same == definitions.end()) continue;
    for (auto k = std::upper_bound(same->second.begin(), same->second.end(), i);
         k != same->second.end(); ++k) {
      if (!SameScope(scopes[i], scopes[*k])) continue;
      if (!found[i].commented) drop[i] = true;
      if (found[i].commented && !found[*k].commented) drop[*k] = true;
      break;
    }
  }
}

}  // namespace

void KeepOneDeclarationEach(std::vector<FoundDeclaration>* found, bool sourceFile) {
  std::vector<bool> drop(found->size(), false);
  DropRepeatedMacros(*found, drop);
  if (sourceFile) DropAnnouncedPrototypes(*found, drop);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < found->size(); ++i) {
    if (drop[i]) continue;
    if (kept != i) (*found)[kept] = std::move((*found)[i]);
    ++kept;
  }
  found->resize(kept);
}

}  // namespace quillmark::syntax
