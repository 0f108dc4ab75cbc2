#include "argument_hint.h"

#include <algorithm>

#include "messages.h"

namespace quillmark::cli {
namespace {

std::vector<std::string> OptionNames(const CLI::App& command) {
  std::vector<std::string> names;
  for (const CLI::Option* option : command.get_options()) {
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    for (const std::string& name : option->get_snames()) names.push_back("-" + name);
  }
  return names;
}

// Whether a global option takes the next word as its value.
bool TakesValue(const CLI::App& app, const std::string& word) {
  for (const CLI::Option* option : app.get_options())
    if (option->check_name(word) && option->get_type_size() != 0 && option->get_expected_min() > 0)
      return true;
  return false;
}

}  // namespace

std::string ArgumentHint(CLI::App& app, int argc, char** argv) {
  std::vector<std::string> commands;
  for (const CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
    commands.push_back(sub->get_name());
  std::vector<std::string> global = OptionNames(app);
  CLI::App* command = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    if (word == "--") break;
    const bool option = word.size() > 1 && word.front() == '-';
    if (option) word = word.substr(0, word.find('='));
    if (command == nullptr) {
      if (option) {
        if (std::find(global.begin(), global.end(), word) == global.end())
          return "unknown option '" + word + "'" + DidYouMean(word, global);
        if (std::string(argv[i]).find('=') == std::string::npos && TakesValue(app, word)) ++i;
        continue;
      }
      if (std::find(commands.begin(), commands.end(), word) == commands.end())
        return "unknown command '" + word + "'" + DidYouMean(word, commands);
      command = app.get_subcommand(word);
      std::vector<std::string> own = OptionNames(*command);
      global.insert(global.end(), own.begin(), own.end());
      continue;
    }
    if (option && std::find(global.begin(), global.end(), word) == global.end())
      return "unknown option '" + word + "' for " + command->get_name() + DidYouMean(word, global);
  }
  return {};
}

}  // namespace quillmark::cli
