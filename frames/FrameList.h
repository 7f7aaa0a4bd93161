// The ordered list of frame records of a show. Entry 0 is the header entry
// (its path holds the show name), entries 1 to count-2 are the frames, the
// last entry is the trailing placeholder for the next new frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "frames/FrameRecord.h"

namespace velmora {

class FrameList {
 public:
  FrameList() = default;
  FrameList(const FrameList&) = delete;
  FrameList& operator=(const FrameList&) = delete;
  FrameList(FrameList&&) = default;
  FrameList& operator=(FrameList&&) = default;

  std::size_t Count() const { return records_.size(); }
  bool Empty() const { return records_.empty(); }
  // Number of frames: count - 2 (0 when the list has fewer than 2 entries).
  std::int32_t FrameCount() const;

  // Entry access; index must be below Count().
  FrameRecord& operator[](std::size_t index) { return *records_.at(index); }
  const FrameRecord& operator[](std::size_t index) const { return *records_.at(index); }
  FrameRecord& At(std::size_t index) { return *records_.at(index); }
  const FrameRecord& At(std::size_t index) const { return *records_.at(index); }

  // Adds an owned record at the end / at index (0..Count()); a null record is
  // replaced by a new default one. Returns the stored record.
  FrameRecord& Append(std::unique_ptr<FrameRecord> record);
  FrameRecord& Insert(std::size_t index, std::unique_ptr<FrameRecord> record);
  // Frees and removes the entry at index.
  void Remove(std::size_t index);
  // Removes the entry at index and hands its record to the caller.
  std::unique_ptr<FrameRecord> Take(std::size_t index);
  // Frees every record.
  void Clear() { records_.clear(); }

 private:
  std::vector<std::unique_ptr<FrameRecord>> records_;
};

// NewFrameRecord, then adds the record at the end of list.
FrameRecord& AppendFrameRecord(FrameList& list);

// Process-wide show: one per process (editor or player). Null until created.
extern std::unique_ptr<FrameList> TheFrameList;
// Number of frames the player cycles through (count - 2), set by
// LoadFrameSet and by the editor before its whole-show preview.
extern std::int32_t FrameCount;

// AppendFrameRecord on the process-wide list (created when null).
FrameRecord& AppendFrameRecord();

}  // namespace velmora
