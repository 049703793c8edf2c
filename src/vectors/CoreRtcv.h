// Load-time sample-rate converter of the wave reader: a fixed table of 86 supported rate pairs,
// each realised as a cascade of at most three rational stages, and a cache of three prepared
// stages. A stage is a polyphase resampler by L/M whose low-pass prototype is a windowed sinc
// (Blackman window raised to the 11th power, up to 2048 taps per phase); its phase filters run
// by overlap-add fast convolution with CoreFftr and the Pack-order products of CoreSigp. The
// output is delay-free: output sample q sits at time q / (output rate), like input sample 0 at 0.
//
// Only kernel loading uses it, never the audio path. One object belongs to one wave reader and is
// used by one thread at a time. The table, the stage records and every stage buffer live in the
// pool given to createTable, under the tag "RTCV"; the transforms keep their own plans. The pool
// must outlive the converter (or release() be called before the pool goes).
//
// Lengths: every stage's output must fit one pool block of 64-bit reals, so no stage may produce
// more than kMaxLength samples. convert checks the whole cascade before it touches the cache and
// throws CoreAnsx for a longer result (and for a negative length, a null input, a bad rate or an
// unknown row); the cache is left as it was. All index arithmetic on sample positions is 64-bit.
#pragma once

#include <cstdint>

class CoreFftr;
class CorePool;

class CoreRtcv {
 public:
  static constexpr int32_t kRowCount = 86;
  static constexpr int32_t kSlotCount = 3;
  static constexpr int32_t kMaxFactors = 6;
  static constexpr int32_t kMaxFactor = 48;
  static constexpr int32_t kMaxTaps = 2048;  // taps per phase filter
  static constexpr int32_t kWindowPower = 11;
  // Longest stage output: the most 64-bit reals one pool block can hold (int32 bytes, 24 of them
  // the pool's slack).
  static constexpr int32_t kMaxLength = (INT32_MAX - 24) / 8;

  // One row of the table. direction 1: factors are (up, down) pairs, optionally closed by a lone
  // up factor; direction 0: one down factor. Entries beyond count are -1.
  struct Row {
    double source;      // Hz
    double target;      // Hz
    int16_t count;      // 1 .. 6
    int16_t direction;  // 1 pairs, 0 a single down factor
    int32_t* factors;   // six entries, a pool block of their own
    double ratio;       // target / source, from the factors
  };

  // What convert hands back. samples belongs to the stage cache: it stays valid until the slot
  // that produced it runs again or is rebuilt by a later convert, or release(). A caller that
  // converts two channels copies the first result out before converting the second (which reuses
  // the same slots and so overwrites it).
  struct Output {
    const double* samples;  // never null, also for an empty result
    int32_t length;
    double rate;
  };

  // A copy of one stage record's parameters, for diagnostics and tests.
  struct StageInfo {
    bool inUse;
    int16_t mode;  // 0 up only, 1 down only, 2 up and down
    double rateIn;
    int32_t up;    // L
    int32_t down;  // M
    int32_t lengthIn;
    int32_t phases;           // P: L for modes 0 and 2, M for mode 1
    int32_t filterLength;     // g, a multiple of P
    int32_t taps;             // m = g / P
    int32_t transformLength;  // N, the smallest power of two above 2m - 1
    int32_t delayBlocks;      // (g/2 - 1) / P
    int32_t delayPhase;       // (g/2 - 1) mod P
    int32_t lengthOut;
    double rateOut;
  };

  CoreRtcv() = default;  // [control] nothing is allocated before createTable
  ~CoreRtcv();           // [control] release()
  CoreRtcv(const CoreRtcv&) = delete;
  CoreRtcv& operator=(const CoreRtcv&) = delete;

  // [control] Builds the 86 rows and the three empty stage records in the pool. Called again with
  // the same pool it does nothing; with another pool it releases everything first. Throws
  // CoreAnsx when the pool refuses; nothing is left allocated then.
  void createTable(CorePool* pool);
  // [control] The row that converts a file at rate a for a host at rate b, or -1 when none is
  // nearer than leaving the file alone: the best distance starts at |b - a| and every row, in
  // table order, whose |b - target| + |a - source| is strictly smaller becomes the choice. The
  // last pair asked and its answer are remembered and returned again without a search. -1 while
  // there is no table.
  int32_t chooseRow(double a, double b);
  // [control] Runs the row's stages in order on length samples taken at rateIn, each stage's
  // output feeding the next; the result has rate rateIn x ratio. A stage whose five values (mode,
  // input rate, L, M, input length) match a prepared slot reuses it; otherwise the slot at the
  // rotating index is rebuilt. A slot whose output holds this stage's input is never reused or
  // rebuilt for it, so samples may even come from an earlier convert. Throws CoreAnsx as the file
  // comment says, or when the pool or a transform cannot be had.
  Output convert(const double* samples, int32_t length, double rateIn, int32_t row);
  // [control] Frees the stage records with their buffers and transforms, and the table.
  void release();

  bool created() const { return rows_ != nullptr; }  // [any]
  int32_t rowCount() const { return rows_ ? kRowCount : 0; }  // [any]
  const Row& row(int32_t index) const { return rows_[index]; }  // [any] 0 <= index < rowCount()
  StageInfo stageInfo(int32_t slot) const;  // [any] 0 <= slot < kSlotCount; empty when not created
  int32_t nextSlot() const { return nextSlot_; }  // [any] the rotating index
  int32_t searches() const { return searches_; }  // [any] chooseRow calls that walked the table
  int32_t builds() const { return builds_; }      // [any] stage records built so far

 private:
  struct Stage;

  void releaseStage(Stage& stage);
  Stage& stageFor(int16_t mode, double rateIn, int32_t up, int32_t down, int32_t lengthIn,
                  const double* input);
  void buildStage(Stage& stage, int16_t mode, double rateIn, int32_t up, int32_t down,
                  int32_t lengthIn);
  void runStage(Stage& stage, const double* input);
  void runInterpolating(Stage& stage, const double* input);
  void runDecimating(Stage& stage, const double* input);

  CorePool* pool_ = nullptr;
  Row* rows_ = nullptr;
  Stage* stages_ = nullptr;
  int32_t nextSlot_ = 0;
  double lastA_ = 0.0;
  double lastB_ = 0.0;
  int32_t lastRow_ = -1;
  bool remembered_ = false;
  int32_t searches_ = 0;
  int32_t builds_ = 0;
  double empty_[1] = {0.0};
};
