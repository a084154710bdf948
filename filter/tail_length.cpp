#include "tail_length.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

namespace qr47 {
namespace {

constexpr double kSilence = 3.1622776601683795e-5;  // -90 dB
constexpr double kLongestTailSeconds = 10.0;
// Below this a pole's radius is taken as this: a term that fast is gone in a few samples.
constexpr double kSmallestRadius = 1e-12;
// Newton steps towards the last sample of a term above its share; each step is a bound.
constexpr int kNewtonSteps = 12;
// Newton's steps stop once they move less than this: each is a bound already.
constexpr double kCloseEnough = 1e-3;
// Where a term before its shift is searched from.
constexpr double kCloseToShift = 0.5;
constexpr int kMostTerms = 32;
// A rounding to float moves a value by at most this part of it; the output's two roundings
// together by at most twice that.
constexpr double kRounding = 0x1p-24;
constexpr double kOutputRounding = 0x1p-23;
// Where two radii lie this close, a cascade's bound grows with n rather than by their ratio.
constexpr double kLongestGeometricSum = 100.0;
constexpr int kLargestSummedPower = 1;
// The sections' two modes and the low-pass's two.
constexpr int kMostModes = 4;
// How far back from the envelope's end the exact output is looked at, and in chunks of how many
// samples: a few microseconds at most, however long the tail.
constexpr double kMostExactSamples = 1024.0;
constexpr double kExactChunk = 64.0;
// Double rounding with a wide margin, for what working out the modes loses.
constexpr double kEvaluationError = 64.0 * 0x1p-52;

// A bound on the magnitude of a response, sample n >= 1: the sum of c * n^power * radius^n.
// c * |n - shift|^power * radius^n; a shift only with power 1, where a line crosses zero.
struct Term {
  double c;
  int power;
  double radius;
  double shift = 0.0;
};

struct Envelope {
  double first = 0.0;  // the magnitude at sample 0
  Term terms[kMostTerms];
  int count = 0;

  // Terms of the same radius and power add up into one.
  void add(double c, int power, double radius, double shift = 0.0) {
    if (!(c > 0.0)) return;
    radius = std::max(radius, kSmallestRadius);
    for (int t = 0; t < count && shift == 0.0; ++t) {
      Term& term = terms[t];
      if (term.radius == radius && term.power == power && term.shift == 0.0) {
        term.c += c;
        return;
      }
    }
    if (count < kMostTerms) {
      terms[count++] = {c, power, radius, shift};
      return;
    }
    // Never reached with the poles a filter has; a bound still, should it be.
    Term& last = terms[kMostTerms - 1];
    last.c = last.c * std::pow(1.0 + last.shift, last.power) + c * std::pow(1.0 + shift, power);
    last.power = std::max(last.power, power);
    last.radius = std::max(last.radius, radius);
    last.shift = 0.0;
  }
  // The most the sum of the terms can reach at sample n or after.
  double largestFrom(double n) const;
  bool stillAbove(double n, double level) const { return !(largestFrom(n) < level); }
};

double valueAt(const Term& term, double n) {
  const double distance = std::fabs(n - term.shift);
  const double line = term.power == 0 ? 1.0 : std::pow(distance, term.power);
  return term.c * line * std::exp(n * std::log(term.radius));
}

// Where a term that rises at first peaks: power / -ln radius past its shift.
double peakOf(const Term& term) {
  return term.shift + term.power / -std::log(term.radius);
}

double Envelope::largestFrom(double n) const {
  double sum = 0.0;
  for (int t = 0; t < count; ++t) {
    // Past its shift each term rises to its peak and falls after; before, it only falls.
    const Term& term = terms[t];
    double largest = valueAt(term, std::max(n, peakOf(term)));
    if (n < term.shift) largest = std::max(largest, valueAt(term, n));
    sum += largest;
  }
  return sum;
}

// The first sample n >= 1 from which c * n^power * radius^n stays below `level`, or infinity.
double firstBelowUnshifted(const Term& term, double level) {
  if (term.radius >= 1.0) return HUGE_VAL;
  // g(n) = ln(c n^power radius^n / level) rises up to n* = power / -ln radius, then falls, and
  // is concave: Newton's steps from anywhere past n* end past the root and close in on it.
  const double logRadius = std::log(term.radius);
  const double logRatio = std::log(term.c / level);
  const auto g = [&](double n) { return term.power * std::log(n) + n * logRadius + logRatio; };
  const double peak = std::max(1.0, term.power / -logRadius);
  if (g(peak) < 0.0) return 1.0;
  double n = 2.0 * peak;
  for (int step = 0; step < kNewtonSteps; ++step) {
    const double move = g(n) / (term.power / n + logRadius);
    n -= move;
    if (move >= 0.0 && move < kCloseEnough) break;
  }
  return std::floor(n) + 1.0;
}

// The same for any term. Past its shift, c (n - shift) radius^n is the unshifted term of
// c radius^shift in n - shift. Before it, ln(c (shift - n) radius^n / level) falls and is
// concave: Newton's steps from the right of its root stay there and close in on it.
double firstBelow(const Term& term, double level) {
  if (term.shift == 0.0) return firstBelowUnshifted(term, level);
  if (term.radius >= 1.0) return HUGE_VAL;
  const Term after{term.c * std::pow(term.radius, term.shift), term.power, term.radius};
  if (valueAt(term, peakOf(term)) >= level) {
    return std::ceil(term.shift) + firstBelowUnshifted(after, level);
  }
  const double logRadius = std::log(term.radius);
  const double logRatio = std::log(term.c / level);
  const auto g = [&](double n) { return std::log(term.shift - n) + n * logRadius + logRatio; };
  double n = term.shift - kCloseToShift;
  if (n < 1.0 || g(1.0) < 0.0) return 1.0;
  if (g(n) >= 0.0) return std::ceil(term.shift);
  for (int step = 0; step < kNewtonSteps; ++step) {
    const double move = g(n) / (logRadius - 1.0 / (term.shift - n));
    n -= move;
    if (move >= 0.0 && move < kCloseEnough) break;
  }
  return std::floor(n) + 1.0;
}

using Complex = std::complex<double>;

// A two-pole response exactly: sample 0 is b0, sample n >= 1 the sum of residue * pole^n.
struct TwoPoles {
  Complex pole[2];
  Complex residue[2];
  double first;
  bool apart;  // the residues exist: the poles are distinct and neither is 0
};

// b0 + b1 z^-1 + b2 z^-2 over 1 + a1 z^-1 + a2 z^-2. Sample n >= 1 is the sum over the poles of
// N(p) p^(n-1) / (p - other pole), with N(z) = b0 z^2 + b1 z + b2.
TwoPoles twoPoles(const BiquadSection& s) {
  TwoPoles f;
  const double discriminant = s.a1 * s.a1 - 4.0 * s.a2;
  if (discriminant >= 0.0) {
    // Real poles: the larger without cancellation, the smaller from their product.
    const double larger = (-s.a1 - std::copysign(std::sqrt(discriminant), s.a1)) / 2.0;
    f.pole[0] = larger;
    f.pole[1] = larger != 0.0 ? s.a2 / larger : 0.0;
  } else {
    const Complex root = std::sqrt(Complex(discriminant));
    f.pole[0] = (-s.a1 + root) / 2.0;
    f.pole[1] = (-s.a1 - root) / 2.0;
  }
  f.first = s.b0;
  f.apart = f.pole[0] != f.pole[1] && f.pole[0] != 0.0 && f.pole[1] != 0.0;
  for (int k = 0; f.apart && k < 2; ++k) {
    const Complex p = f.pole[k];
    f.residue[k] = (s.b0 * p * p + s.b1 * p + s.b2) / (p * (p - f.pole[1 - k]));
  }
  return f;
}

double radiusOf(const TwoPoles& f) {
  return std::max(std::abs(f.pole[0]), std::abs(f.pole[1]));
}

// By the residues where the poles lie apart.
Envelope byResidues(const TwoPoles& f) {
  Envelope e;
  e.first = std::fabs(f.first);
  for (int k = 0; f.apart && k < 2; ++k) e.add(std::abs(f.residue[k]), 0, std::abs(f.pole[k]));
  return e;
}

// A bound that holds however close the poles come: the difference quotient of N(z) z^(n-1)
// between them is at most its derivative on the segment that joins them.
Envelope byDerivative(const BiquadSection& s, double r) {
  r = std::max(r, kSmallestRadius);
  const double b0 = std::fabs(s.b0), b1 = std::fabs(s.b1), b2 = std::fabs(s.b2);
  Envelope e;
  e.first = b0;
  e.add((2.0 * b0 * r + b1) / r, 0, r);
  e.add((b0 * r * r + b1 * r + b2) / (r * r), 1, r);
  return e;
}

// The first sample from which the envelope stays below `level`, at most `longest`. The sum of
// the terms falls below no earlier than each term alone does, and no later than each term below
// its even share: the search runs between the two.
double reach(const Envelope& e, double level, double longest = HUGE_VAL) {
  double low = e.first >= level ? 1.0 : 0.0;
  double high = low;
  for (int t = 0; t < e.count; ++t) {
    low = std::max(low, firstBelow(e.terms[t], level));
    high = std::max(high, firstBelow(e.terms[t], level / e.count));
  }
  low = std::min(low, longest);
  high = std::min(high, longest);
  while (low < high) {
    const double middle = std::floor((low + high) / 2.0);
    if (e.stillAbove(middle, level)) {
      low = middle + 1.0;
    } else {
      high = middle;
    }
  }
  return high;
}

// Of two bounds of the same response, the one that falls below `level` first.
const Envelope& tighter(const Envelope& a, const Envelope& b, double level) {
  return reach(a, level) <= reach(b, level) ? a : b;
}

// Two responses with the same poles, one after the other, exactly: with h = d + sum r / (1 - p
// z^-1) and g = e + sum q / (1 - p z^-1), the product's sample n >= 1 is the sum over the poles
// of (d q + e r + r q + (r q' + r' q) p / (p - p') + r q n) p^n.
struct Lines {
  Complex constant[2];
  Complex slope[2];
};

Lines productLines(const TwoPoles& h, const TwoPoles& g) {
  const Complex d = h.first - h.residue[0] - h.residue[1];
  const Complex f = g.first - g.residue[0] - g.residue[1];
  const Complex crossed = h.residue[0] * g.residue[1] + h.residue[1] * g.residue[0];
  Lines lines;
  for (int k = 0; k < 2; ++k) {
    const Complex p = h.pole[k], r = h.residue[k], q = g.residue[k];
    lines.constant[k] = d * q + f * r + r * q + crossed * p / (p - h.pole[1 - k]);
    lines.slope[k] = r * q;
  }
  return lines;
}

Envelope product(const TwoPoles& h, const TwoPoles& g) {
  Envelope e;
  e.first = std::fabs(h.first * g.first);
  if (!h.apart || !g.apart) return e;
  const Lines lines = productLines(h, g);
  for (int k = 0; k < 2; ++k) {
    const Complex constant = lines.constant[k], slope = lines.slope[k];
    // |constant + slope n| = |slope| |n - shift - i t| <= |slope| (|n - shift| + |t|): where the
    // line passes close to zero at some n > 0, a term that vanishes there bounds it best.
    const Complex crossing = slope != 0.0 ? -constant / slope : Complex(0.0);
    const double radius = std::abs(h.pole[k]);
    if (crossing.real() > 0.0) {
      e.add(std::abs(slope), 1, radius, crossing.real());
      e.add(std::abs(slope) * std::fabs(crossing.imag()), 0, radius);
    } else {
      e.add(std::abs(constant), 0, radius);
      e.add(std::abs(slope), 1, radius);
    }
  }
  return e;
}

// The sum over k >= 1 of k^power q^k, for powers 0 and 1: the faster term of a cascade is a
// section's, whose powers go no higher.
double powerSum(int power, double q) {
  const double r = 1.0 - q;
  return power == 0 ? q / r : q / (r * r);
}

// The same bound without shifts: c |n - shift| <= c n + c shift.
Envelope unshifted(const Envelope& e) {
  Envelope plain;
  plain.first = e.first;
  for (int t = 0; t < e.count; ++t) {
    const Term& term = e.terms[t];
    plain.add(term.c, term.power, term.radius);
    if (term.shift != 0.0) plain.add(term.c * term.shift, 0, term.radius);
  }
  return plain;
}

// The response of one section after the other: the sum over k of a(k) b(n - k). For two terms
// of radii r <= s, the products k^i r^k (n - k)^j s^(n - k), 0 < k < n, add up to at most
// n^j s^n times the sum of k^i (r / s)^k, or n^(i + j + 1) s^n where the radii lie close.
Envelope cascade(const Envelope& shiftedA, const Envelope& shiftedB) {
  const Envelope a = unshifted(shiftedA);
  const Envelope b = unshifted(shiftedB);
  Envelope both;
  both.first = a.first * b.first;
  for (int t = 0; t < a.count; ++t) {
    both.add(a.terms[t].c * b.first, a.terms[t].power, a.terms[t].radius);
  }
  for (int t = 0; t < b.count; ++t) {
    both.add(b.terms[t].c * a.first, b.terms[t].power, b.terms[t].radius);
  }
  for (int t = 0; t < a.count; ++t) {
    for (int u = 0; u < b.count; ++u) {
      // The slower term keeps its power; the faster one's adds up to a constant.
      const bool aSlower = a.terms[t].radius >= b.terms[u].radius;
      const Term& slow = aSlower ? a.terms[t] : b.terms[u];
      const Term& fast = aSlower ? b.terms[u] : a.terms[t];
      const double ratio = fast.radius / slow.radius;
      if (fast.power <= kLargestSummedPower && ratio / (1.0 - ratio) <= kLongestGeometricSum) {
        both.add(slow.c * fast.c * powerSum(fast.power, ratio), slow.power, slow.radius);
      } else {
        both.add(slow.c * fast.c, slow.power + fast.power + 1, slow.radius);
      }
    }
  }
  return both;
}

void addScaled(Envelope& to, const Envelope& from, double scale) {
  to.first += scale * from.first;
  for (int t = 0; t < from.count; ++t) {
    const Term& term = from.terms[t];
    to.add(term.c * scale, term.power, term.radius, term.shift);
  }
}

// One float rounding of a recursion's value v adds at most v 2^-24 to it, which the recursion
// then carries on as an input of its own: the roundings of a whole response add at most 2^-24
// times the values' envelope run through the recursion's.
Envelope roundingOf(const Envelope& values, const Envelope& carried) {
  const Envelope error = cascade(values, carried);
  Envelope scaled;
  addScaled(scaled, error, kRounding);
  return scaled;
}

// The output exactly, without roundings: sample 0 is `first`, sample n >= 1 the real part of
// the sum over the modes of (constant + slope n) pole^n. A complex pole stands for itself and
// its conjugate, its line doubled. Worked out in doubles, a mode's line is off by at most
// `error` (1 + n) and its pole by `poleError` of it: residues near a zero of the response
// cancel, and so do those of poles that lie close.
struct Mode {
  Complex constant;
  Complex slope;
  Complex pole;
  double error;
  double poleError;
};

struct ExactResponse {
  double first = 0.0;
  Mode modes[kMostModes];
  int count = 0;
  bool known = true;  // false where two poles meet: the modes do not exist

  // The sections, or the two in a row, or the low-pass, times `scale`.
  void add(const BiquadSection& s, const TwoPoles& f, bool twice, double scale) {
    first += scale * (twice ? f.first * f.first : f.first);
    if (!f.apart || count + 2 > kMostModes) {
      known = false;
      return;
    }
    const double apart = std::abs(f.pole[0] - f.pole[1]);
    const double nearness = 1.0 + std::max(std::abs(f.pole[0]), std::abs(f.pole[1])) / apart;
    // The most a residue is off: its numerator's rounding over the poles' distance.
    double residueError = std::fabs(s.b0);
    for (const Complex& p : f.pole) {
      const double r = std::abs(p);
      const double numerator = std::fabs(s.b0) * r * r + std::fabs(s.b1) * r + std::fabs(s.b2);
      residueError = std::max(residueError, numerator / (r * apart));
    }
    residueError *= kEvaluationError * nearness;
    const double residues = std::fabs(f.first) + std::abs(f.residue[0]) + std::abs(f.residue[1]);
    const double lineError = twice ? 8.0 * residues * residueError * nearness : residueError;
    const Lines lines =
        twice ? productLines(f, f) : Lines{{f.residue[0], f.residue[1]}, {0.0, 0.0}};
    const bool pair = f.pole[0].imag() != 0.0;
    for (int k = 0; k < 2; ++k) {
      if (pair && f.pole[k].imag() < 0.0) continue;
      const double weight = pair ? 2.0 * scale : scale;
      modes[count++] = {lines.constant[k] * weight, lines.slope[k] * weight, f.pole[k],
                        lineError * weight, kEvaluationError * nearness};
    }
  }
};

// |z| or a little more, without a square root.
double magnitude(const Complex& z) {
  return std::fabs(z.real()) + std::fabs(z.imag());
}

// An envelope ignores how the modes' phases cancel each other, at times for long. Chunk by chunk
// back from where it ends, the exact output with what roundings and the evaluation itself can
// add shows the last sample that may reach the level. Every chunk cleared is one the output
// stays below the level in, so stopping after a fixed number of samples leaves a bound still.
double lastReach(const ExactResponse& exact, const Envelope& roundings, double level, double end) {
  if (!exact.known) return end;
  const double lowest = std::max(1.0, end - kMostExactSamples);
  for (double top = end; top > lowest; top -= kExactChunk) {
    const double start = std::max(lowest, top - kExactChunk);
    const double rounded = roundings.largestFrom(start);
    Complex power[kMostModes];
    for (int k = 0; k < exact.count; ++k) power[k] = std::pow(exact.modes[k].pole, start);
    double last = 0.0;
    for (double n = start; n < top; ++n) {
      double value = 0.0;
      double allowance = rounded;
      for (int k = 0; k < exact.count; ++k) {
        const Mode& mode = exact.modes[k];
        const Complex term = (mode.constant + mode.slope * n) * power[k];
        value += term.real();
        allowance +=
            (1.0 + n) * (mode.error * magnitude(power[k]) + mode.poleError * magnitude(term));
        power[k] *= mode.pole;
      }
      if (!(std::fabs(value) + allowance < level)) last = n + 1.0;
    }
    if (last > 0.0) return last;
  }
  if (lowest > 1.0) return lowest;
  return std::fabs(exact.first) + roundings.first < level ? 0.0 : 1.0;
}

BiquadSection coefficients(double b0, double b1, double b2, double a1, double a2) {
  BiquadSection s;
  s.b0 = b0, s.b1 = b1, s.b2 = b2, s.a1 = a1, s.a2 = a2;
  return s;
}

// A response bounded as tightly as its poles allow, for the level it must fall below.
Envelope responseOf(const BiquadSection& s, double level) {
  const TwoPoles poles = twoPoles(s);
  const Envelope derivative = byDerivative(s, radiusOf(poles));
  return poles.apart ? tighter(byResidues(poles), derivative, level) : derivative;
}

// A bound without the search for the tighter one, for what the roundings add.
Envelope roughResponseOf(const BiquadSection& s) {
  const TwoPoles poles = twoPoles(s);
  return poles.apart ? byResidues(poles) : byDerivative(s, radiusOf(poles));
}

Envelope roughResponseOf(const BiquadSection& a, const BiquadSection& b) {
  const TwoPoles first = twoPoles(a);
  return first.apart ? product(first, twoPoles(b))
                     : cascade(roughResponseOf(a), roughResponseOf(b));
}

}  // namespace

// The sections' response, and the low-pass's times its mix, with what the roundings to float
// can add, bound the impulse response; the tail ends where that bound falls below -90 dB.
std::int32_t tailLength(const FilterSettings::Loop& settings) {
  const double gain = std::fabs(settings.outputGain);
  if (gain == 0.0) return 0;
  const BiquadSection& s = settings.first;
  const double level = kSilence / gain;
  const TwoPoles poles = twoPoles(s);
  const Envelope single = responseOf(s, level);
  // A rounding of a section's output goes on through its recursion.
  const BiquadSection recursion = coefficients(1.0, 0.0, 0.0, s.a1, s.a2);
  Envelope sections;
  Envelope roundings;
  ExactResponse exact;
  if (!settings.fourPoles) {
    addScaled(sections, single, 1.0);
    addScaled(roundings, roundingOf(single, roughResponseOf(recursion)), gain);
    exact.add(s, poles, false, gain);
  } else {
    // The second section is the first one's twin: the first one's roundings pass through both.
    // The exact form bounds the tail best; the cascaded envelopes, the first samples, which are
    // what the second section's roundings carry on.
    const Envelope cascaded = cascade(single, single);
    addScaled(sections, poles.apart ? tighter(product(poles, poles), cascaded, level) : cascaded,
              1.0);
    addScaled(roundings, roundingOf(single, roughResponseOf(recursion, s)), gain);
    addScaled(roundings, roundingOf(cascaded, roughResponseOf(recursion)), gain);
    exact.add(s, poles, true, gain);
  }
  Envelope output;
  addScaled(output, sections, gain);
  if (settings.mixGain > 0.0f) {
    // From the input to its second stage the low-pass is a two-pole filter of its own, with the
    // same poles from the input to its first stage and from a rounding of either stage.
    const double c = settings.lowpassCutoff;
    const double fb = settings.lowpass.feedback;
    const double stage1 = 1.0 - c + c * fb;
    const double a1 = -(stage1 + 1.0 - c - c * c * fb);
    const double a2 = stage1 * (1.0 - c);
    const double mix = gain * settings.mixGain;
    const double mixLevel = kSilence / mix;
    const BiquadSection toSecond = coefficients(c * c, 0.0, 0.0, a1, a2);
    const Envelope second = responseOf(toSecond, mixLevel);
    const Envelope first = roughResponseOf(coefficients(c, c * (c - 1.0), 0.0, a1, a2));
    addScaled(output, second, mix);
    addScaled(roundings, roundingOf(first, roughResponseOf(coefficients(c, 0.0, 0.0, a1, a2))),
              mix);
    addScaled(roundings,
              roundingOf(second, roughResponseOf(coefficients(1.0, -stage1, 0.0, a1, a2))), mix);
    exact.add(toSecond, twoPoles(toSecond), false, mix);
  }
  const double longest = std::min(kLongestTailSeconds * settings.sampleRate,
                                  static_cast<double>(std::numeric_limits<std::int32_t>::max()));
  // The output's own rounding, and the mix's, move a sample by at most a part in 2^24.
  const double outputLevel = kSilence * (1.0 - kOutputRounding);
  addScaled(output, roundings, 1.0);
  const double end = reach(output, outputLevel, longest);
  return static_cast<std::int32_t>(lastReach(exact, roundings, outputLevel, end));
}

}  // namespace qr47
