// What a command-line program gets from its process and gives back: the arguments as UTF-8
// and standard streams that carry bytes unchanged, the same on every platform.
#pragma once

#include <string>
#include <vector>

namespace solvane {

// The program's arguments in UTF-8. On Windows they are taken from the wide command line: the
// `argv` of main() is in the ANSI code page, where a folder named in another script becomes
// question marks. Elsewhere they are `argv` as given.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Puts standard input, output and error into binary mode, so a "\n" is written as one byte (the
// Windows C runtime would write "\r\n"), and lets a Windows console show the UTF-8 the program
// writes for as long as the returned guard lives. Nothing to do elsewhere.
class StandardStreams {
 public:
  StandardStreams();
  StandardStreams(const StandardStreams&) = delete;
  StandardStreams& operator=(const StandardStreams&) = delete;
  ~StandardStreams();

 private:
  [[maybe_unused]] unsigned consoleCodePage_ = 0;  // the console's code page before, restored at the end
};

}  // namespace solvane
