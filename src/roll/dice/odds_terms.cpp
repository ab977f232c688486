#include "roll/dice/odds_terms.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "roll/dice/odds.h"

namespace tambrel::dice::odds {
namespace {

// Units of work, measured against the time they take.
constexpr double kWindowStep = 16;   // per total, per die of a sliding sum (memory-bound)
constexpr double kLogTerm = 20;      // a binomial term in logarithms
// Up to this many faces a die's sum is shifted and added once per face.
constexpr std::size_t kFewFaces = 16;

bool Uniform(const DiceTerm& term) { return !term.rerollOnce && !term.explodes; }

// Keep or drop decides nothing when every die counts.
bool Keeps(const DiceTerm& term) { return term.Kept() < term.count; }

// What one die adds to the kept part: its value above the lowest, or 1
// when it succeeds.
std::int64_t Contribution(const DiceTerm& term, const Lattice& die, std::int64_t value) {
  if (term.success) return term.success->Meets(value) ? 1 : 0;
  return value - die.shape.lowest;
}

// Whether some (or every) value from a to b meets the test.
bool SomeMeet(const Test& test, std::int64_t a, std::int64_t b) {
  switch (test.compare) {
    case Test::Compare::GreaterOrEqual:
    case Test::Compare::Greater: return test.Meets(b);
    case Test::Compare::LessOrEqual:
    case Test::Compare::Less: return test.Meets(a);
    case Test::Compare::Equal: break;
  }
  return a <= test.value && test.value <= b;
}
bool AllMeet(const Test& test, std::int64_t a, std::int64_t b) {
  return test.Meets(a) && test.Meets(b) && (test.compare != Test::Compare::Equal || a == b);
}

// How many dice succeed of those kept can be 0..k, or only 0 or only k
// when no value (or every value) meets the test.
Shape SuccessShape(const DiceTerm& term, const DieReach& die, std::int64_t kept) {
  bool some = false;
  bool all = true;
  for (const auto& [first, last] : die.runs) {
    some = some || SomeMeet(*term.success, first, last);
    all = all && AllMeet(*term.success, first, last);
  }
  if (!some || all || kept == 0) return {all ? kept : 0, 0, 1};
  return {0, 1, kept + 1};
}

// Adds one more die of `faces` equal chances to the sums: each new total
// is the sum of a window of `faces` old ones, times the chance of a face.
// Additions only, so that small chances keep their precision: a few dice
// shifted and added, or for many faces the windows from prefix and suffix
// sums within blocks of `faces` (van Herk and Gil-Werman).
// The buffers one die's step works in, kept from die to die: fresh ones
// each time would be new memory from the system, faulted in page by page.
struct Scratch {
  std::vector<double> next, padded, prefix, suffix;
};

void AddUniformDie(std::vector<double>& sums, std::size_t faces, double each, Scratch& scratch) {
  const std::size_t length = sums.size() + faces - 1;
  std::vector<double>& next = scratch.next;
  next.assign(length, 0.0);
  if (faces <= kFewFaces) {
    for (std::size_t u = 0; u < faces; ++u) {
      double* out = next.data() + u;
      for (std::size_t t = 0; t < sums.size(); ++t) out[t] += sums[t];
    }
  } else {
    // Padded with faces - 1 zeros each side; window t covers padded[t, t + faces).
    std::vector<double>& padded = scratch.padded;
    padded.assign(length + faces - 1, 0.0);
    std::ranges::copy(sums, padded.begin() + static_cast<std::ptrdiff_t>(faces - 1));
    std::vector<double>& prefix = scratch.prefix;
    std::vector<double>& suffix = scratch.suffix;
    prefix.resize(padded.size());
    suffix.resize(padded.size());
    for (std::size_t block = 0; block < padded.size(); block += faces) {
      const std::size_t end = std::min(block + faces, padded.size());
      prefix[block] = padded[block];
      for (std::size_t x = block + 1; x < end; ++x) prefix[x] = prefix[x - 1] + padded[x];
      suffix[end - 1] = padded[end - 1];
      for (std::size_t x = end - 1; x-- > block;) suffix[x] = suffix[x + 1] + padded[x];
    }
    for (std::size_t block = 0; block < length; block += faces) {
      next[block] = prefix[block + faces - 1];
      const std::size_t end = std::min(block + faces, length);
      for (std::size_t t = block + 1; t < end; ++t) next[t] = suffix[t] + prefix[t + faces - 1];
    }
  }
  for (double& chance : next) chance *= each;
  std::swap(sums, next);
}

Lattice UniformSum(const DiceTerm& term, const Lattice& die, const Shape& shape,
                   const std::stop_token& stop) {
  std::vector<double> sums(die.chances);
  Scratch scratch;
  // Each buffer at its last size from the start, so that none moves as
  // the sums grow.
  const auto longest = static_cast<std::size_t>(shape.size) + die.chances.size();
  for (std::vector<double>* buffer : {&sums, &scratch.next, &scratch.padded, &scratch.prefix, &scratch.suffix}) {
    buffer->reserve(longest);
  }
  for (std::int32_t n = 1; n < term.count; ++n) {
    CheckStop(stop);
    AddUniformDie(sums, die.chances.size(), die.chances.front(), scratch);
  }
  return {shape, std::move(sums)};
}

// The number of successes among N dice, one die at a time.
Lattice CountSuccesses(const DiceTerm& term, const Lattice& die, const Shape& shape) {
  double meets = 0;
  double fails = 0;
  for (std::size_t i = 0; i < die.chances.size(); ++i) {
    (Contribution(term, die, die.shape.lowest + static_cast<std::int64_t>(die.shape.step * i)) != 0
         ? meets : fails) += die.chances[i];
  }
  if (shape.size == 1) return Point(shape.lowest);
  std::vector<double> counts(static_cast<std::size_t>(term.count) + 1, 0.0);
  counts[0] = 1;
  for (std::size_t n = 0; n < counts.size() - 1; ++n) {
    for (std::size_t c = n + 1; c-- > 0;) {
      counts[c + 1] += counts[c] * meets;
      counts[c] *= fails;
    }
  }
  return {shape, std::move(counts)};
}

// Keep the highest (or lowest) k of N dice: the faces are gone through
// from the best down, with how many dice have shown so far (j < k: all of
// them kept) and what the kept ones add up to. At each face the dice left
// show it by a binomial draw; once k dice have shown, the rest are dropped
// whatever they show, so that state is finished.
Lattice KeepBest(const DiceTerm& term, const Lattice& die, const Shape& shape,
                 const std::stop_token& stop) {
  struct Face {
    std::int64_t contribution;
    double chance;
  };
  std::vector<Face> faces;
  for (std::size_t i = 0; i < die.chances.size(); ++i) {
    if (die.chances[i] == 0) continue;
    const std::int64_t value = die.shape.lowest + static_cast<std::int64_t>(die.shape.step * i);
    faces.push_back({Contribution(term, die, value), die.chances[i]});
  }
  if (term.KeepsHighest()) std::ranges::reverse(faces);
  // What is left at and below each face, summed from the far end.
  std::vector<double> left(faces.size() + 1, 0.0);
  for (std::size_t i = faces.size(); i-- > 0;) left[i] = left[i + 1] + faces[i].chance;

  const auto n = static_cast<std::size_t>(term.count);
  const auto k = static_cast<std::size_t>(term.Kept());
  std::vector<long double> logFactorial(n + 1, 0.0L);
  for (std::size_t i = 1; i <= n; ++i) logFactorial[i] = logFactorial[i - 1] + std::log(static_cast<long double>(i));

  const auto width = static_cast<std::size_t>(shape.size);
  // The most one die adds to the kept sum.
  std::size_t reach = 0;
  for (const Face& face : faces) reach = std::max(reach, static_cast<std::size_t>(face.contribution));
  std::vector<std::vector<double>> kept(k, std::vector<double>(width, 0.0));
  std::vector<double> result(width, 0.0);
  std::vector<double> binomial;
  kept[0][0] = 1;
  for (std::size_t f = 0; f < faces.size(); ++f) {
    CheckStop(stop);
    const bool last = f + 1 == faces.size();
    const long double logShow = std::log(static_cast<long double>(faces[f].chance / left[f]));
    const long double logNot = last ? 0.0L : std::log(static_cast<long double>(left[f + 1] / left[f]));
    const auto step = static_cast<std::size_t>(faces[f].contribution);
    for (std::size_t j = k; j-- > 0;) {
      const std::size_t dice = n - j;          // yet to show
      const std::size_t finish = k - j;        // showing this many fills the kept dice
      // binomial[c]: c of the dice left show this face, for c < finish.
      binomial.assign(finish, 0.0);
      const auto binomialTerm = [&](std::size_t c) {
        // In logarithms, then one exp in double: the exponent is exact to
        // far better than the 1e-9 the odds are held to.
        const long double exponent = logFactorial[dice] - logFactorial[c] - logFactorial[dice - c] +
                                     static_cast<long double>(c) * logShow +
                                     static_cast<long double>(dice - c) * logNot;
        return std::exp(static_cast<double>(exponent));
      };
      double head = 0;
      for (std::size_t c = 0; c < finish && !last; ++c) head += binomial[c] = binomialTerm(c);
      double tail = 1 - head;
      if (!last && head >= 0.5) {
        // A small tail is summed itself, not left as a difference.
        tail = 0;
        for (std::size_t c = dice + 1; c-- > finish;) tail += binomialTerm(c);
      }
      // The sums j kept dice can reach, each moved on by c more dice.
      std::vector<double>& from = kept[j];
      const std::size_t reachable = j * reach + 1;
      for (std::size_t c = 1; c < finish; ++c) {
        double* to = kept[j + c].data() + c * step;
        const double chance = binomial[c];
        for (std::size_t s = 0; s < reachable; ++s) to[s] += from[s] * chance;
      }
      double* done = result.data() + finish * step;
      for (std::size_t s = 0; s < reachable; ++s) done[s] += from[s] * tail;
      for (std::size_t s = 0; s < reachable; ++s) from[s] *= binomial[0];
    }
  }
  return {shape, std::move(result)};
}

}  // namespace

DieReach ReachOf(const DiceTerm& term) {
  DieReach reach;
  const std::int64_t lo = term.lowestFace;
  const std::int64_t hi = term.highestFace;
  const std::int64_t faces = term.Faces();
  if (!term.explodes || faces == 1) {
    const std::int64_t only = faces == 1 && term.explodes ? hi * (kMostExplosions + 1) : lo;
    reach.runs = {{only, term.explodes ? only : hi}};
  } else {
    // The highest face always explodes, so it is never a die's last roll
    // (but at the final explosion allowed).
    reach.runs = {{lo, hi - 1}};
    std::int64_t again = 0;
    for (std::int64_t face = lo; term.rerollOnce && face <= hi; ++face) again += term.rerollOnce->Meets(face);
    const double each = 1.0 / static_cast<double>(faces);
    const bool highRerolled = term.rerollOnce && term.rerollOnce->Meets(hi);
    double going = (highRerolled ? 0.0 : each) + static_cast<double>(again) * each * each;
    const double cutOff = kExplosionCutOff / term.count;
    for (std::int64_t explosions = 1; explosions <= kMostExplosions; ++explosions) {
      if (going < cutOff) {
        reach.truncated = true;
        break;
      }
      const bool lastAllowed = explosions == kMostExplosions;
      reach.runs.push_back({explosions * hi + lo, explosions * hi + hi - (lastAllowed ? 0 : 1)});
      going *= each;
    }
  }
  for (const auto& [first, last] : reach.runs) reach.values += last - first + 1;
  const std::int64_t highest = reach.runs.back().second;
  reach.shape = {reach.runs.front().first, highest == reach.runs.front().first ? 0U : 1U,
                 highest - reach.runs.front().first + 1};
  return reach;
}

Lattice DieOdds(const DiceTerm& term, const DieReach& reach) {
  if (reach.shape.size == 1) return Point(reach.shape.lowest);
  const auto faces = static_cast<std::size_t>(term.Faces());
  const double each = 1.0 / static_cast<double>(faces);
  std::vector<double> chances(faces, each);
  if (term.rerollOnce) {
    // A first roll that meets the test is replaced by a second, any face.
    double again = 0;
    for (std::size_t i = 0; i < faces; ++i) {
      if (term.rerollOnce->Meets(term.lowestFace + static_cast<std::int64_t>(i))) again += each;
    }
    for (std::size_t i = 0; i < faces; ++i) {
      const bool meets = term.rerollOnce->Meets(term.lowestFace + static_cast<std::int64_t>(i));
      chances[i] = (meets ? 0.0 : each) + again * each;
    }
  }
  if (term.explodes) {
    // Each run after the first: the highest face shown so many times, then
    // one more roll; the chance of going on shrinks by a face's each time.
    double going = chances.back();
    chances.back() = 0;
    chances.resize(static_cast<std::size_t>(reach.shape.size), 0.0);
    for (std::size_t run = 1; run < reach.runs.size(); ++run) {
      const auto first = static_cast<std::size_t>(reach.runs[run].first - term.lowestFace);
      const auto last = static_cast<std::size_t>(reach.runs[run].second - term.lowestFace);
      for (std::size_t i = first; i <= last; ++i) chances[i] += going * each;
      going *= each;
    }
  }
  return {reach.shape, std::move(chances)};
}

Shape TermShape(const DiceTerm& term, const DieReach& die, Cost& cost) {
  const std::int64_t n = term.count;
  const std::int64_t k = term.Kept();
  const auto dieSize = static_cast<double>(die.values);
  Shape shape;
  if (term.success) {
    shape = SuccessShape(term, die, k);
  } else {
    shape = {k * die.shape.lowest, k == 0 ? 0 : die.shape.step, k * (die.shape.size - 1) + 1};
    if (shape.size == 1) shape.step = 0;
  }
  double work = dieSize;
  if (Keeps(term) && k > 0) {
    // Per face, per state of j < k dice shown, up to k - j draws; and the
    // binomial terms, up to n + 1 of them per face and j.
    const std::int64_t reach = term.success ? 1 : die.shape.size - 1;
    double states = 0;
    for (std::int64_t j = 0; j < k; ++j) states += static_cast<double>(j * reach + 1) * static_cast<double>(k - j);
    work += dieSize * (states + kLogTerm * static_cast<double>(k * (n + 1)));
  } else if (term.success) {
    work += static_cast<double>(n * n) / 2;
  } else {
    // The sum of n dice, one after another: kWindowStep per total for a
    // sliding sum, every pair otherwise.
    const double perTotal = !Uniform(term) ? dieSize
                            : dieSize <= static_cast<double>(kFewFaces) ? dieSize / 2
                                                                         : kWindowStep;
    const auto growth = static_cast<double>(die.shape.size - 1);
    work += perTotal * (static_cast<double>(n * n) / 2 * growth + static_cast<double>(n) * dieSize);
  }
  cost.Add(work, shape);
  return shape;
}

Lattice TermOdds(const DiceTerm& term, const DieReach& reach, const std::stop_token& stop) {
  Cost ignored;
  const Shape shape = TermShape(term, reach, ignored);
  if (shape.size == 1) return Point(shape.lowest);
  const Lattice die = DieOdds(term, reach);
  if (Keeps(term)) return KeepBest(term, die, shape, stop);
  if (term.success) return CountSuccesses(term, die, shape);
  if (Uniform(term)) return UniformSum(term, die, shape, stop);
  Lattice sum = die;
  for (std::int32_t n = 1; n < term.count; ++n) sum = Add(std::move(sum), die, stop);
  return sum;
}

}  // namespace tambrel::dice::odds
