#pragma once

#include <string>
#include <deque>

namespace tambrel {

// One label of a control array. Geometry is in twips, single precision, and
// reads back exactly as it was written. Every element shares the font of
// element 0, so no font is stored per label.
struct Label {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
  bool visible = false;
  std::string caption;
};

// A control array of labels, indexed from 0. Element 0 is the template every
// loaded element starts as a hidden copy of; it is never unloaded. Elements
// are plain records: whoever shows them on screen listens for changes.
class LabelArray {
 public:
  // Told the twips area a visible label covered before, or covers after, a
  // change, so that only that area is repainted.
  class Observer {
   public:
    virtual ~Observer() = default;
    virtual void LabelAreaChanged(const Label& label) = 0;
  };

  explicit LabelArray(Label element0);

  void SetObserver(Observer* observer) { observer_ = observer; }

  // Loaded elements, element 0 included.
  [[nodiscard]] int Count() const { return loaded_; }
  [[nodiscard]] bool IsLoaded(int index) const;

  // Creates element `index` as a hidden copy of element 0. Elements are
  // loaded in order, so only the index just past the last one is accepted;
  // anything else returns false and changes nothing.
  bool Load(int index);
  // Destroys element `index`; false (and nothing changes) for element 0 or
  // an element that is not loaded.
  bool Unload(int index);

  // Read access; the index must be loaded.
  [[nodiscard]] const Label& operator[](int index) const;

  void SetLeft(int index, float left);
  void SetTop(int index, float top);
  void SetVisible(int index, bool visible);
  void SetCaption(int index, std::string caption);

 private:
  Label& Element(int index);
  void NotifyIfVisible(const Label& label);
  template <typename Edit>
  void Change(int index, Edit edit);

  // A deque grows in fixed blocks: no doubling slack on a full grid of
  // tens of thousands of labels, and no copying as it grows.
  std::deque<Label> elements_;
  std::deque<bool> loaded_flags_;
  int loaded_ = 1;
  Observer* observer_ = nullptr;
};

}  // namespace tambrel
