#include "frames/FrameList.h"

#include <stdexcept>

namespace velmora {

std::unique_ptr<FrameList> TheFrameList;
std::int32_t FrameCount = 0;

std::int32_t FrameList::FrameCount() const {
  return records_.size() < 2 ? 0 : static_cast<std::int32_t>(records_.size() - 2);
}

FrameRecord& FrameList::Append(std::unique_ptr<FrameRecord> record) {
  return Insert(records_.size(), std::move(record));
}

FrameRecord& FrameList::Insert(std::size_t index, std::unique_ptr<FrameRecord> record) {
  if (index > records_.size()) throw std::out_of_range("FrameList::Insert: index out of range");
  if (!record) record = NewFrameRecord();
  FrameRecord& stored = *record;
  records_.insert(records_.begin() + static_cast<std::ptrdiff_t>(index), std::move(record));
  return stored;
}

void FrameList::Remove(std::size_t index) { Take(index); }

std::unique_ptr<FrameRecord> FrameList::Take(std::size_t index) {
  if (index >= records_.size()) throw std::out_of_range("FrameList::Take: index out of range");
  auto record = std::move(records_[index]);
  records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(index));
  return record;
}

FrameRecord& AppendFrameRecord(FrameList& list) { return list.Append(NewFrameRecord()); }

FrameRecord& AppendFrameRecord() {
  if (!TheFrameList) TheFrameList = std::make_unique<FrameList>();
  return AppendFrameRecord(*TheFrameList);
}

}  // namespace velmora
