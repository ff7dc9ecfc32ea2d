// Reading the run log the way a text-mode line reader with a 1024-byte buffer
// reads it: CR LF arrives as LF, and a physical line longer than 1023 bytes
// arrives as consecutive pieces of at most 1023 bytes, each handled as a line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace iz {

class ReadableFile;

const int64_t kPieceLimit = 1023;

// Reads pieces forward from a raw byte offset that begins a piece.
class PieceReader {
  public:
    PieceReader(ReadableFile& file, int64_t offset);
    // The next piece, line feed included when the line ends within it; false
    // at the end of the file or on a read failure.
    bool next(std::string* piece);
    // The raw offset of the first byte not read into a piece yet.
    int64_t position() const { return offset_ + static_cast<int64_t>(position_); }

  private:
    bool fill();

    ReadableFile& file_;
    int64_t offset_;  // file offset of buffer_[0]
    std::vector<char> buffer_;
    size_t position_ = 0;
    size_t length_ = 0;
    bool at_end_ = false;
};

// True when the file holds `text` at `offset`.
bool starts_with_at(ReadableFile& file, int64_t offset, const std::string& text);

// The raw offset of the last piece that begins with `start_line`, found by
// reading the file from its end, or -1 when no piece does. Its cost depends
// on the part of the log after that piece, not on what comes before it.
int64_t find_last_start(ReadableFile& file, const std::string& start_line);

}  // namespace iz
