#include "messages/log_pieces.h"

#include <cstring>

#include "platform/system.h"

namespace iz {

namespace {

const size_t kBlockSize = 64 * 1024;

// Bytes of the file by index, read block by block; meant for walking backward.
class ByteCache {
  public:
    explicit ByteCache(ReadableFile& file) : file_(file), block_(kBlockSize) {}

    // The byte at `index`, or -1 when it cannot be read.
    int at(int64_t index) {
        if (index < start_ || index >= start_ + length_) {
            start_ = index - static_cast<int64_t>(kBlockSize) + 1;
            if (start_ < 0) {
                start_ = 0;
            }
            length_ = file_.read_at(start_, block_.data(), static_cast<int64_t>(kBlockSize));
            if (index >= start_ + length_) {
                length_ = 0;
                return -1;
            }
        }
        return static_cast<unsigned char>(block_[static_cast<size_t>(index - start_)]);
    }

    // The index of the last line feed before `end`, or -1 when there is none.
    int64_t previous_line_feed(int64_t end) {
        for (int64_t i = end - 1; i >= 0; --i) {
            int byte = at(i);
            if (byte == '\n' || byte < 0) {
                return byte < 0 ? -1 : i;
            }
        }
        return -1;
    }

  private:
    ReadableFile& file_;
    std::vector<char> block_;
    int64_t start_ = 0;
    int64_t length_ = 0;
};

// The last piece of one physical line [start, end) that begins with `text`.
// `end` is the index of its line feed, or the file size for a last line
// without one; the CR of a closing CR LF is no part of the line's text.
int64_t last_match_in_line(ReadableFile& file, ByteCache& cache, int64_t start, int64_t end,
                           bool has_line_feed, const std::string& text) {
    int64_t content_end = end;
    if (has_line_feed && end > start && cache.at(end - 1) == '\r') {
        content_end = end - 1;
    }
    int64_t converted = content_end - start + (has_line_feed ? 1 : 0);
    if (converted <= 0) {
        return -1;
    }
    for (int64_t k = (converted - 1) / kPieceLimit; k >= 0; --k) {
        int64_t offset = start + k * kPieceLimit;
        if (offset + static_cast<int64_t>(text.size()) <= content_end &&
            starts_with_at(file, offset, text)) {
            return offset;
        }
    }
    return -1;
}

}  // namespace

bool starts_with_at(ReadableFile& file, int64_t offset, const std::string& text) {
    if (text.empty()) {
        return true;  // and no read into a buffer of no bytes
    }
    std::vector<char> bytes(text.size());
    int64_t got = file.read_at(offset, bytes.data(), static_cast<int64_t>(bytes.size()));
    return got == static_cast<int64_t>(text.size()) &&
           std::memcmp(bytes.data(), text.data(), text.size()) == 0;
}

PieceReader::PieceReader(ReadableFile& file, int64_t offset)
    : file_(file), offset_(offset), buffer_(kBlockSize) {}

bool PieceReader::fill() {
    // Keep what is not consumed yet, so that a CR at the end of the buffer can
    // still be paired with the LF that follows it.
    size_t kept = length_ - position_;
    std::memmove(buffer_.data(), buffer_.data() + position_, kept);
    offset_ += static_cast<int64_t>(position_);
    position_ = 0;
    length_ = kept;
    if (at_end_) {
        return false;
    }
    int64_t got = file_.read_at(offset_ + static_cast<int64_t>(kept), buffer_.data() + kept,
                                static_cast<int64_t>(buffer_.size() - kept));
    if (got <= 0) {
        at_end_ = true;
        return false;
    }
    length_ += static_cast<size_t>(got);
    return true;
}

bool PieceReader::next(std::string* piece) {
    piece->clear();
    while (piece->size() < static_cast<size_t>(kPieceLimit)) {
        if (length_ - position_ < 2 && !at_end_) {
            fill();
        }
        if (position_ == length_) {
            break;
        }
        char c = buffer_[position_++];
        if (c == '\r' && position_ < length_ && buffer_[position_] == '\n') {
            continue;
        }
        piece->push_back(c);
        if (c == '\n') {
            return true;
        }
    }
    return !piece->empty();
}

int64_t find_last_start(ReadableFile& file, const std::string& start_line) {
    int64_t size = file.size();
    if (size <= 0 || start_line.empty()) {
        return -1;
    }
    ByteCache cache(file);
    int64_t end = size;
    bool has_line_feed = false;
    if (cache.at(size - 1) == '\n') {
        end = size - 1;
        has_line_feed = true;
    }
    for (;;) {
        int64_t start = cache.previous_line_feed(end) + 1;
        int64_t found = last_match_in_line(file, cache, start, end, has_line_feed, start_line);
        if (found >= 0) {
            return found;
        }
        if (start == 0) {
            return -1;
        }
        end = start - 1;
        has_line_feed = true;
    }
}

}  // namespace iz
