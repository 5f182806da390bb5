// Cuts the bytes the program writes into command lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct ReceivedLine {
    std::string text; // without CR LF
    bool overlong = false;
};

class LineAssembler {
  public:
    // A command is at most 82 bytes; anything far longer is noise (wrong baud
    // rate, a binary upload) and is reported once, cut, instead of buffered.
    static constexpr std::size_t kMaxLine = 160;

    // Lines end at LF; a CR before it is dropped, so a terminal's bare LF works
    // too. Empty lines are skipped. Completed lines are appended to out.
    void feed(std::string_view bytes, std::vector<ReceivedLine>& out);

    // Bytes of the line still waiting for its LF.
    std::size_t pending() const { return line_.size(); }

  private:
    std::string line_;
    bool discarding_ = false;
};
