#include "line_assembler.h"

void LineAssembler::feed(std::string_view bytes, std::vector<ReceivedLine>& out) {
    for (char c : bytes) {
        if (c == '\n') {
            if (!line_.empty() && line_.back() == '\r')
                line_.pop_back();
            if (discarding_)
                out.push_back({line_, true});
            else if (!line_.empty())
                out.push_back({line_, false});
            line_.clear();
            discarding_ = false;
            continue;
        }
        if (line_.size() < kMaxLine)
            line_ += c;
        else
            discarding_ = true;
    }
}
