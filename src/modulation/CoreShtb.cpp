#include "modulation/CoreShtb.h"

#include <cmath>

#include "modulation/CoreFlsh.h"
#include "modulation/CoreRand.h"
#include "modulation/CoreUnit.h"

namespace {

inline double fl(double v) { return CoreFlsh::flush(v); }
inline double unipolar(double v) { return fl((v + 1.0) * 0.5); }
inline double positive(double s) { return s * 0.5 + 0.5; }

// ---- Row 0: shapes ----------------------------------------------------------------------------

double sine(double x, double, void*) { return std::sin(M_PI * x); }
double square(double x, double, void*) { return x > 0.0 ? 1.0 : (x < 0.0 ? -1.0 : 0.0); }
double squarePositive(double x, double, void*) { return x > 0.0 ? 1.0 : (x < 0.0 ? 0.0 : 0.5); }
double triangleShape(double x, double, void*) { return CoreShtb::triangle(x); }

// A step shape with N steps is floor(x N / 2) times the written factor 2/N.
template <int N>
double steps(double x);
template <> double steps<3>(double x) { return std::floor(x * 3.0 * 0.5) * 0.6666666666666666; }
template <> double steps<4>(double x) { return std::floor(x * 4.0 * 0.5) * 0.5; }
template <> double steps<5>(double x) { return std::floor(x * 5.0 * 0.5) * 0.4; }
template <> double steps<6>(double x) { return std::floor(x * 6.0 * 0.5) * 0.3333333333333333; }
template <> double steps<7>(double x) { return std::floor(x * 7.0 * 0.5) * 0.2857142857142857; }
template <> double steps<8>(double x) { return std::floor(x * 8.0 * 0.5) * 0.25; }
template <> double steps<10>(double x) { return std::floor(x * 10.0 * 0.5) * 0.2; }
template <> double steps<12>(double x) { return std::floor(x * 12.0 * 0.5) * 0.16666666666666666; }
template <int N>
double stepShape(double x, double, void*) { return steps<N>(x); }
template <int N>
double stepShapePositive(double x, double, void*) { return positive(steps<N>(x)); }

// A random shape draws r / 32767 x 2 - 1 whenever floor(k x) differs from floor(k x_prev), x_prev
// being the wrapped phase of the previous step; otherwise it repeats its previous output.
template <int K>
double randomShape(double x, double, void* state) {
  auto* s = static_cast<CoreShtb::ShapeState*>(state);
  if (!s) return 0.0;
  if (std::floor(K * x) != std::floor(K * s->wrappedPhase))
    return static_cast<double>(CoreRand::next()) / 32767.0 * 2.0 - 1.0;
  return s->lastOutput;
}

// ---- Row 1: operators (a, b wrapped into [-1, 1]) ------------------------------------------------

double dbOf(double a) {  // "Db(a)": the level of ua in dB, mapped from -192.64 .. 0 to -1 .. +1
  return fl(fl((CoreUnit::decibels(unipolar(a)) + 192.64) * 0.005191029900332226) * 2.0 - 1.0);
}

double opA(double a, double, void*) { return a; }
double opDbDiff(double a, double b, void*) { return dbOf(a) - dbOf(b); }
double opScaleDbAToB(double a, double b, void*) {
  const double ua = unipolar(a), ub = unipolar(b);
  const double d = -192.64 * (1.0 - ub);
  const double e = fl(d * (1.0 - ua));
  return fl(fl(std::pow(10.0, e / 20.0)) * 2.0 - 1.0);
}
double opSum(double a, double b, void*) { return a + b; }
double opDiff(double a, double b, void*) { return a - b; }
double opMean(double a, double b, void*) { return (a + b) * 0.5; }
double opHalfAPlusB(double a, double b, void*) { return a * 0.5 + b; }
double opQuarterAHalfB(double a, double b, void*) { return a * 0.25 + b * 0.5; }
double opWeighted(double a, double b, void*) { return (2.0 * b + a) * 0.33333333333333; }
double opProduct(double a, double b, void*) { return a * b; }
double opNegProduct(double a, double b, void*) { return -(a * b); }
double opATimesTenB(double a, double b, void*) { return std::pow(10.0, b) * a; }
double opAbsSum(double a, double b, void*) { return std::fabs(a + b); }
double opAbsDiff(double a, double b, void*) { return std::fabs(a - b); }
double opMin(double a, double b, void*) { return a < b ? a : b; }
double opMax(double a, double b, void*) { return a > b ? a : b; }

// "Quantize b to a": n = floor(16 a) steps, e = floor(ub n) / n. For a in [0, 1/16) n is 0 and
// the quotient is 0/0; there the operator quantises with the nearest usable step count, n = 1:
// e = floor(ub), so the output is -1 for ub < 1 and +1 at ub = 1.
double opQuantize(double a, double b, void*) {
  const double n = std::floor(a * 16.0);
  const double ub = unipolar(b);
  const double e = n == 0.0 ? std::floor(ub) : fl(std::floor(ub * n) / n);
  return fl(e * 2.0 - 1.0);
}

// "b/(1-a)": at a = 1 the quotient is infinite; the operator gives the value it tends to just
// below a = 1 after clipping: +1 for b > 0, -1 for b < 0, and 0 for b = 0.
double opBOverOneMinusA(double a, double b, void*) {
  const double d = 1.0 - a;
  if (d == 0.0) return b > 0.0 ? 1.0 : (b < 0.0 ? -1.0 : 0.0);
  return b / d;
}

double opSquareSum(double a, double b, void*) { return (a + b) * (a + b); }
double opSinSum(double a, double b, void*) { return std::sin(a * M_PI + b * M_PI); }
double opCosSum(double a, double b, void*) { return std::cos((a + b) * M_PI); }
double opTriSum(double a, double b, void*) { return CoreShtb::triangle(a + b); }

// "warp(a,b)", A = |a|: (b - 1)/(A - 1) for b > A, (b + 1)/(A - 1) for b < -A, else b/A.
// At |a| = 1 no b exceeds A, so the operator is b itself there and the A - 1 denominators are never
// reached. At a = 0 the middle branch holds only b = 0 and reads 0/0; the operator gives 0, the
// value b/A has for b = 0 at every other A.
double opWarp(double a, double b, void*) {
  const double A = std::fabs(a);
  if (b > A) return (A - 1.0 == 0.0) ? b : (b - 1.0) / (A - 1.0);
  if (b < -A) return (A - 1.0 == 0.0) ? b : (b + 1.0) / (A - 1.0);
  if (A == 0.0) return 0.0;
  return b / A;
}

double opAnd(double a, double b, void*) { return (a > 0.0 && b > 0.0) ? 1.0 : 0.0; }
double opOr(double a, double b, void*) { return (a > 0.0 || b > 0.0) ? 1.0 : 0.0; }
double opRampSum(double a, double b, void*) { return a * 25.0 + b * 25.0; }
double opRampDiff(double a, double b, void*) { return (a - b) * 25.0; }
double opRampQuarter(double a, double b, void*) { return (a + b) * 25.0 * 0.25; }
double opRampProduct(double a, double b, void*) { return a * b * 25.0; }
double opRampNegProduct(double a, double b, void*) { return a * b * (-25.0); }
double opRampTenB(double a, double b, void*) { return std::pow(10.0, b) * a * 25.0; }
double diode(double v) { return v < 0.0 ? 0.0 : v; }
double opDiode(double a, double b, void*) { return diode(a - b); }
double opDiodePlusHalf(double a, double b, void*) { return diode(a - b + 0.5); }
double opDiodeMinusHalf(double a, double b, void*) { return diode(a - b - 0.5); }
double opDiodePlusQuarter(double a, double b, void*) { return diode(a - b + 0.25); }
double opUnipolarProduct(double a, double b, void*) {
  return fl(fl(unipolar(b) * unipolar(a)) * 2.0 - 1.0);
}

// "a(/unipolar)b": ua / ub. At b = -1 (ub = 0) the quotient is infinite for ua > 0 and 0/0 for
// ua = 0; the operator gives the clipped value it tends to as ub falls to 0: +1 for ua > 0, and -1
// (the quotient 0) for ua = 0.
double opUnipolarQuotient(double a, double b, void*) {
  const double ua = unipolar(a), ub = unipolar(b);
  if (ub == 0.0) return ua > 0.0 ? 1.0 : -1.0;
  return fl(fl(ua / ub) * 2.0 - 1.0);
}

double opDb(double a, double, void*) { return dbOf(a); }

double opGainpadPlus(double a, double b, void*) {
  const double ua = unipolar(a), ub = unipolar(b);
  const double g = -CoreUnit::decibels(ub);
  double f = std::pow(10.0, g / 20.0);
  if (f == 1.0) f = 0.0;
  const double h = std::pow(10.0, fl(ua * g) / 20.0);
  return fl(fl((1.0 - h) / (1.0 - f)) * 2.0 - 1.0);
}

double opGainpadMinus(double a, double b, void*) {
  const double ua = unipolar(a), ub = unipolar(b);
  const double d = CoreUnit::decibels(ub);
  const double u = ub == 1.0 ? 0.0 : ub;
  const double f = std::pow(10.0, fl(ua * d) / 20.0);
  return fl(fl((1.0 - f) / (1.0 - u)) * 2.0 - 1.0);
}

double opScaleDb(double a, double b, void*) {
  const double ua = unipolar(a), ub = unipolar(b);
  const double d = CoreUnit::decibels(ub);
  return fl(fl(std::pow(10.0, fl(ua * d) / 20.0)) * 2.0 - 1.0);
}

// "exp(a,1/b)": ua^(1/ub). At b = -1 (ub = 0) the exponent is infinite; the operator gives the
// limit as ub falls to 0: ua^inf, which is 0 for ua < 1 and 1 for ua = 1 (output -1 and +1).
double opExpRoot(double a, double b, void*) {
  const double ua = unipolar(a), ub = unipolar(b);
  const double e = ub == 0.0 ? (ua >= 1.0 ? 1.0 : 0.0) : fl(std::pow(ua, 1.0 / ub));
  return fl(e * 2.0 - 1.0);
}

double opAUnipolarB(double a, double b, void*) { return unipolar(b) * a; }
double opTessel(double a, double, void*) { return a; }

double opStoreBipolarDb(double a, double b, void*) {
  const double d = CoreUnit::decibels(unipolar(b));
  const double x = fl(-(d * a));
  const double y = fl(std::pow(10.0, x / 20.0) * 1.5275660582380732e-05);
  return fl(y * 2.0 - 1.0);
}

}  // namespace

CoreShtb::CoreShtb() {
  struct Row {
    const char* stored;
    const char* descriptive;
    Function function;
  };
  static const Row kShapeRows[kShapeCount] = {
      {"Sine", "Sine", sine},
      {"+Sine", "Positive Sine", [](double x, double, void*) { return positive(std::sin(M_PI * x)); }},
      {"Square", "Square", square},
      {"+Squar", "Positive Square", squarePositive},
      {"Triang", "Triangle", triangleShape},
      {"+Trian", "Positive Triangle", [](double x, double, void*) { return positive(triangle(x)); }},
      {"Rise S", "Rising Sawtooth", [](double x, double, void*) { return x; }},
      {"+Rise", "Positive Rising Sawtooth", [](double x, double, void*) { return x * 0.5 + 0.5; }},
      {"Fall S", "Falling Sawtooth", [](double x, double, void*) { return -x; }},
      {"+Fall", "Positive Falling Sawtooth", [](double x, double, void*) { return 0.5 - x * 0.5; }},
      {"3 Step", "3 Step", stepShape<3>},
      {"+3 Ste", "Positive 3 Step", stepShapePositive<3>},
      {"4 Step", "4 Step", stepShape<4>},
      {"+4 Ste", "Positive 4 Step", stepShapePositive<4>},
      {"5 Step", "5 Step", stepShape<5>},
      {"+5 Ste", "Positive 5 Step", stepShapePositive<5>},
      {"6 Step", "6 Step", stepShape<6>},
      {"+6 Ste", "Positive 6 Step", stepShapePositive<6>},
      {"7 Step", "7 Step", stepShape<7>},
      {"+7 Ste", "Positive 7 Step", stepShapePositive<7>},
      {"8 Step", "8 Step", stepShape<8>},
      {"+8 Ste", "Positive 8 Step", stepShapePositive<8>},
      {"10 Ste", "10 Step", stepShape<10>},
      {"+10 St", "Positive 10 Step", stepShapePositive<10>},
      {"12 Ste", "12 Step", stepShape<12>},
      {"+12 St", "Positive 12 Step", stepShapePositive<12>},
      {"Ramp", "Ramp", [](double x, double, void*) { return fl(x); }},
      {"3 Rand", "3 Rand", randomShape<6>},
      {"4 Rand", "4 Rand", randomShape<8>},
      {"5 Rand", "5 Rand", randomShape<10>},
      {"8 Rand", "8 Rand", randomShape<16>},
      {"10 Ran", "10 Ran", randomShape<20>},
      {"12 Ran", "12 Ran", randomShape<24>},
  };
  static const Row kOperatorRows[kOperatorCount] = {
      {"a", "a", opA},
      {"Db(a)-Db(b)", "Db(a)-Db(b)", opDbDiff},
      {"ScaleDb a to b", "ScaleDb a to b", opScaleDbAToB},
      {"a+b", "a+b", opSum},
      {"a-b", "a-b", opDiff},
      {"(a+b)/2", "(a+b)/2", opMean},
      {"a/2+b", "a/2+b", opHalfAPlusB},
      {"a/4+b/2", "a/4+b/2", opQuarterAHalfB},
      {"(a+2b)/3", "(a+2b)/3", opWeighted},
      {"a*b", "a*b", opProduct},
      {"-a*b", "-a*b", opNegProduct},
      {"a*10^b", "a*10^b", opATimesTenB},
      {"|a+b|", "|a+b|", opAbsSum},
      {"|a-b|", "|a-b|", opAbsDiff},
      {"min(a,b)", "min(a,b)", opMin},
      {"max(a,b)", "max(a,b)", opMax},
      {"Quantize b to a", "Quantize b to a", opQuantize},
      {"b/(1-a)", "b/(1-a)", opBOverOneMinusA},
      {"(a+b)^2", "(a+b)^2", opSquareSum},
      {"sin(a+b)", "sin(a+b)", opSinSum},
      {"cos(a+b)", "cos(a+b)", opCosSum},
      {"tri(a+b)", "tri(a+b)", opTriSum},
      {"warp(a,b)", "warp(a,b)", opWarp},
      {"a AND b", "a AND b", opAnd},
      {"a OR b", "a OR b", opOr},
      {"ramp(f=a+b)", "ramp(f=a+b)", opRampSum},
      {"ramp(f=a-b)", "ramp(f=a-b)", opRampDiff},
      {"ramp(f=(a+b)/4)", "ramp(f=(a+b)/4)", opRampQuarter},
      {"ramp(f=a*b)", "ramp(f=a*b)", opRampProduct},
      {"ramp(f=-a*b)", "ramp(f=-a*b)", opRampNegProduct},
      {"ramp(f=a*10^b)", "ramp(f=a*10^b)", opRampTenB},
      {"Diode(a-b)", "Diode(a-b)", opDiode},
      {"Diode(a-b+.5)", "Diode(a-b+.5)", opDiodePlusHalf},
      {"Diode(a-b-.5)", "Diode(a-b-.5)", opDiodeMinusHalf},
      {"Diode(a-b+.25)", "Diode(a-b+.25)", opDiodePlusQuarter},
      {"a(*unipolar)b", "a(*unipolar)b", opUnipolarProduct},
      {"a(/unipolar)b", "a(/unipolar)b", opUnipolarQuotient},
      {"Db(a)", "Db(a)", opDb},
      {"gainpad+", "gainpad+", opGainpadPlus},
      {"gainpad-", "gainpad-", opGainpadMinus},
      {"ScaleDb(a,b)", "ScaleDb(a,b)", opScaleDb},
      {"exp(a,1/b)", "exp(a,1/b)", opExpRoot},
      {"a*unipolar(b)", "a*unipolar(b)", opAUnipolarB},
      {"Tessel", "Tessel", opTessel},
      {"StoreBipolarDb", "StoreBipolarDb", opStoreBipolarDb},
  };
  for (int32_t i = 0; i < kShapeCount; ++i)
    shapes_[i] = Entry{kShapeRows[i].stored, kShapeRows[i].descriptive, kShapeRows[i].function};
  for (int32_t i = 0; i < kOperatorCount; ++i)
    operators_[i] =
        Entry{kOperatorRows[i].stored, kOperatorRows[i].descriptive, kOperatorRows[i].function};
}

const CoreShtb::Entry& CoreShtb::entry(int32_t row, int32_t index) const {
  if (row == kShapes) return shapes_[(index >= 0 && index < kShapeCount) ? index : 0];
  return operators_[(index >= 0 && index < kOperatorCount) ? index : 0];
}

const CoreShtb::Entry& CoreShtb::lookup(int32_t row, const CoreStrg& storedName) const {
  const Entry* entries = row == kShapes ? shapes_ : operators_;
  const int32_t n = count(row);
  int32_t found = 0;
  for (int32_t i = 0; i < n; ++i)
    if (entries[i].storedName == storedName) found = i;
  return entries[found];
}

int32_t CoreShtb::indexOf(const Entry& e) const {
  if (&e >= shapes_ && &e < shapes_ + kShapeCount) return static_cast<int32_t>(&e - shapes_);
  if (&e >= operators_ && &e < operators_ + kOperatorCount)
    return static_cast<int32_t>(&e - operators_);
  return -1;
}

double CoreShtb::wrap(double v) {
  if (v >= -1.0 && v <= 1.0) return v;
  if (!std::isfinite(v)) return 0.0;
  const double a = fl((v + 1.0) * 0.5);
  const double f = fl(a - std::floor(a));
  return fl(f * 2.0 - 1.0);
}

double CoreShtb::triangle(double x) {
  if (x > 0.5) return (1.0 - x) * 2.0;
  if (x < -0.5) return (x + 1.0) * (-2.0);
  return 2.0 * x;
}

double CoreShtb::evaluate(const Entry& entry, double p, double q, void* state) {
  double r = entry.function(wrap(p), wrap(q), state);
  if (r != r) r = 0.0;  // not reachable with wrapped arguments; a NaN never leaves here
  if (r > 1.0) r = 1.0;
  if (r < -1.0) r = -1.0;
  return fl(r);
}
