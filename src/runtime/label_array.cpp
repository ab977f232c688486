#include "runtime/label_array.h"

#include <cassert>
#include <utility>

namespace tambrel {

LabelArray::LabelArray(Label element0) {
  elements_.push_back(std::move(element0));
  loaded_flags_.push_back(true);
}

bool LabelArray::IsLoaded(int index) const {
  return index >= 0 && static_cast<std::size_t>(index) < elements_.size() &&
         loaded_flags_[static_cast<std::size_t>(index)];
}

bool LabelArray::Load(int index) {
  if (index < 1 || static_cast<std::size_t>(index) != elements_.size()) return false;
  Label copy = elements_.front();
  copy.visible = false;
  elements_.push_back(std::move(copy));
  loaded_flags_.push_back(true);
  ++loaded_;
  return true;
}

bool LabelArray::Unload(int index) {
  if (index < 1 || !IsLoaded(index)) return false;
  const auto slot = static_cast<std::size_t>(index);
  NotifyIfVisible(elements_[slot]);
  loaded_flags_[slot] = false;
  --loaded_;
  // Unloaded elements at the end are dropped, so that clearing in ascending
  // order leaves the storage as it started.
  while (elements_.size() > 1 && !loaded_flags_.back()) {
    elements_.pop_back();
    loaded_flags_.pop_back();
  }
  return true;
}

const Label& LabelArray::operator[](int index) const {
  assert(IsLoaded(index));
  return elements_[static_cast<std::size_t>(index)];
}

Label& LabelArray::Element(int index) {
  assert(IsLoaded(index));
  return elements_[static_cast<std::size_t>(index)];
}

void LabelArray::NotifyIfVisible(const Label& label) {
  if (observer_ != nullptr && label.visible) observer_->LabelAreaChanged(label);
}

// A change of place or visibility repaints where the label stood and where
// it stands now.
template <typename Edit>
void LabelArray::Change(int index, Edit edit) {
  Label& label = Element(index);
  NotifyIfVisible(label);
  edit(label);
  NotifyIfVisible(label);
}

void LabelArray::SetLeft(int index, float left) {
  Change(index, [left](Label& label) { label.left = left; });
}

void LabelArray::SetTop(int index, float top) {
  Change(index, [top](Label& label) { label.top = top; });
}

void LabelArray::SetVisible(int index, bool visible) {
  Change(index, [visible](Label& label) { label.visible = visible; });
}

void LabelArray::SetCaption(int index, std::string caption) {
  Label& label = Element(index);
  label.caption = std::move(caption);
  NotifyIfVisible(label);
}

}  // namespace tambrel
