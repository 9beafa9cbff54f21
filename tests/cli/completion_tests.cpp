// The bash completion of korva-updater-cli against the program's own command line: walking the
// command and option tables, every command line the completion is asked about offers exactly
// the options that the parser then takes there, and the commands that the table has.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "tests/shared/scratch_folder.h"

namespace korva {
namespace {

using testing::ScratchFolder;
using Words = std::vector<std::string>;

constexpr const char* kBashCompletion = "/usr/share/bash-completion/bash_completion";

Words Split(const std::string& text) {
  std::istringstream stream(text);
  Words words;
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

std::string Join(const Words& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// Asks the completion script about each line (the word being completed last) in one shell,
// and gives back what it offered for each, sorted.
std::vector<std::set<std::string>> Complete(const ScratchFolder& folder, const Words& lines) {
  std::ofstream asked(folder / "lines");
  for (const std::string& line : lines) asked << line << "\n";
  asked.close();
  std::ofstream(folder / "complete.sh") << "source " << kBashCompletion << "\n"
                                        << "source " << KORVA_COMPLETION_SCRIPT << "\n"
                                        << R"(cd "$1"
while IFS= read -r line; do
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *' ' ]] && COMP_WORDS+=('')
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  _korva_updater_cli
  echo "${COMPREPLY[*]}"
done
)";
  const std::string command = "bash " + (folder / "complete.sh").string() + " " +
                              folder.Path().string() + " <" + (folder / "lines").string() + " >" +
                              (folder / "offered").string() + " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream offered(folder / "offered");
  std::vector<std::set<std::string>> results;
  for (std::string line; std::getline(offered, line);) {
    const Words words = Split(line);
    results.emplace_back(words.begin(), words.end());
  }
  return results;
}

// A value the parser takes for each option that has one; an option added to the table without
// one here fails the test, so that its completion is thought about too.
std::string SampleValue(const std::string& option) {
  static const std::map<std::string, std::string> values = {
      {"--slot", "3"},
      {"--device", "usb"},
      {"--dfu-library", "libkorva-dfu.so"},
      {"--path", "/dev/hidraw3"},
      {"--log", "korva.log"},
  };
  const auto found = values.find(option);
  EXPECT_NE(found, values.end()) << option << " takes a value that this test has no sample of";
  return found == values.end() ? "x" : found->second;
}

// The words that give an option on the command line: its name, and its sample value.
Words Given(const cli::OptionWords& option, const std::string& spelling) {
  Words words{spelling};
  if (option.takesValue) words.push_back(SampleValue(option.name));
  return words;
}

// An option spelling taken on `line` when it brings no fault of its own: the line may be
// unfinished (audio without its slot) and stay so, or be answered at once (--help).
bool Takes(const Words& line, const Words& option) {
  Words with = line;
  with.insert(with.end(), option.begin(), option.end());
  const std::string error = cli::ParseOptions(with).error;
  return error.empty() || error == cli::ParseOptions(line).error;
}

// What the completion offers, as the option spellings it stands for ("--device=usb" stands
// for --device, "--dfu-library=" for --dfu-library).
std::set<std::string> AsOptions(const std::set<std::string>& offered) {
  std::set<std::string> options;
  for (const std::string& word : offered) options.insert(word.substr(0, word.find('=')));
  return options;
}

TEST(CompletionTest, OffersExactlyWhatTheParserTakes) {
  if (!std::ifstream(kBashCompletion)) GTEST_SKIP() << "bash-completion is not installed";
  ScratchFolder folder;
  std::ofstream(folder / "fw.bin") << "x";

  // Each command with its operands (and audio without its slot, which the completion offers),
  // and a line with no command yet.
  std::vector<Words> commands{{}};
  for (const std::string& words : cli::CommandWords()) {
    Words line = Split(words);
    if (line[0] != "status" && line[0] != "update" && line[0] != "list") line.push_back("fw.bin");
    commands.push_back(line);
  }
  std::vector<cli::OptionWords> options = cli::OptionTable();
  std::vector<std::pair<cli::OptionWords, std::string>> spellings;
  for (const cli::OptionWords& option : options) {
    spellings.push_back({option, option.name});
    if (!option.alias.empty()) spellings.push_back({option, option.alias});
  }
  spellings.push_back({{"--help", "-h", false}, "--help"});
  spellings.push_back({{"--help", "-h", false}, "-h"});
  spellings.push_back({{"--version", "", false}, "--version"});

  // Every command, alone and with each option that it takes already on the line.
  std::vector<Words> lines;
  for (const Words& command : commands) {
    lines.push_back(command);
    for (const auto& [option, spelling] : spellings) {
      if (spelling == "--help" || spelling == "-h" || spelling == "--version") continue;
      if (Takes(command, Given(option, spelling))) {
        Words line = command;
        for (const std::string& word : Given(option, spelling)) line.push_back(word);
        lines.push_back(line);
      }
    }
  }
  Words asked;
  for (const Words& line : lines) asked.push_back("korva-updater-cli " + Join(line) + " -");
  const std::vector<std::set<std::string>> offered = Complete(folder, asked);
  ASSERT_EQ(offered.size(), lines.size());

  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(asked[i]);
    std::set<std::string> taken;
    for (const auto& [option, spelling] : spellings)
      if (Takes(lines[i], Given(option, spelling))) taken.insert(spelling);
    EXPECT_EQ(AsOptions(offered[i]), taken);
  }

  // The commands, and the words that follow "flash".
  const std::vector<std::set<std::string>> words =
      Complete(folder, {"korva-updater-cli ", "korva-updater-cli flash "});
  ASSERT_EQ(words.size(), 2u);
  std::set<std::string> first, second;
  for (const std::string& command : cli::CommandWords()) {
    const Words parts = Split(command);
    first.insert(parts[0]);
    if (parts.size() > 1) second.insert(parts[1]);
  }
  EXPECT_EQ(words[0], first);
  EXPECT_EQ(words[1], second);
}

}  // namespace
}  // namespace korva
