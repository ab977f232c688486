#include "roll/dice/expression.h"

namespace tambrel::dice {

bool Test::Meets(std::int64_t dieValue) const {
  switch (compare) {
    case Compare::Less: return dieValue < value;
    case Compare::LessOrEqual: return dieValue <= value;
    case Compare::Greater: return dieValue > value;
    case Compare::GreaterOrEqual: return dieValue >= value;
    case Compare::Equal: break;
  }
  return dieValue == value;
}

std::int32_t DiceTerm::Kept() const {
  switch (keep.kind) {
    case KeepRule::Kind::KeepHighest:
    case KeepRule::Kind::KeepLowest: return keep.count;
    case KeepRule::Kind::DropHighest:
    case KeepRule::Kind::DropLowest: return count - keep.count;
    case KeepRule::Kind::All: break;
  }
  return count;
}

bool DiceTerm::KeepsHighest() const {
  return keep.kind == KeepRule::Kind::KeepHighest || keep.kind == KeepRule::Kind::DropLowest;
}

}  // namespace tambrel::dice
