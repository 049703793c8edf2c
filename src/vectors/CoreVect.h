// One vector of a slot's kernel tree: sampled impulse responses (or further vectors) placed at
// key values of a control. The program gives each vector its control range, bus range, liquid
// factor, offset and fades; every child element its weight (the key) and bus weight, and either
// a child vector or a file. The vector's five controls follow the sources the program names.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/CoreStrg.h"
#include "modulation/CoreMctl.h"
#include "modulation/CoreSrct.h"

class CoreVect {
 public:
  // A fade-out with its kernel length, in microseconds; a negative length takes the children's.
  struct FadeSet {
    int32_t fadeOut = 0;
    int32_t length = -1;
  };

  // One ELEMENT child: a vector, or a leaf file with its path.
  struct Child {
    std::unique_ptr<CoreVect> vector;
    CoreStrg path;
    bool leaf = false;
    double weight = 0.0;
    double busWeight = 0.0;
  };

  // How the element's CONTROL moves this vector.
  struct ControlSettings {
    bool sourceOn = false;      // the vector control follows a source
    bool busOn = false;         // the vector publishes to a bus
    CoreStrg busSource;
    double minValue = 0.0;      // the range the control spans
    double maxValue = 0.0;
    double panFactor = 0.0;     // degrees / 90; pan is on above 0
    double padFactor = 1.0;     // linear
    bool gainSourceOn = false;
    bool normalise = false;     // GAINLIMITER present: peak normalisation of the leaves
    double referenceKey = 0.0;  // GAINHANDLE
    double mixFactor = 1.0;     // GAINLIMITER's value
  };

  // [control] `name` is "VECTOR" + slot index for a root, parent name + "_" + index below it.
  CoreVect(const CoreStrg& name, CoreSrct& table);
  ~CoreVect();
  CoreVect(const CoreVect&) = delete;
  CoreVect& operator=(const CoreVect&) = delete;

  const CoreStrg& name() const { return name_; }  // [any]
  bool leaf() const { return leaf_; }             // [any] every child is a file
  int32_t childCount() const { return static_cast<int32_t>(children_.size()); }  // [any]
  const Child& child(int32_t i) const { return children_[static_cast<size_t>(i)]; }  // [any]
  Child& child(int32_t i) { return children_[static_cast<size_t>(i)]; }              // [any]
  void addChild(Child child);  // [control] in document order
  void finishChildren();        // [control] the leaf flag from the children

  // ---- values of the program's COMMON element ----
  double minValue = 0.0, maxValue = 0.0;        // key range
  double busMinValue = 0.0, busMaxValue = 0.0;  // bus range
  CoreStrg unitValue;
  double liquidFactor = 0.0;  // LIQUIDFACTOR / 100
  CoreStrg liquidSource{"ON"};
  int32_t offset = 0;  // microseconds
  int32_t fadeIn = 0;  // microseconds, never more than the offset
  std::array<FadeSet, 2> fadeSets{};
  bool switchMode = false;
  int16_t fadeInCurve = -1;
  int16_t fadeOutCurve = -1;

  ControlSettings control;

  // The five controls: the vector control ranges over the key range, the others -1 .. 1.
  CoreMctl& vectorControl() { return vectorControl_; }
  CoreMctl& liquidControl() { return liquidControl_; }
  CoreMctl& gainpadControl() { return gainpadControl_; }
  CoreMctl& gainControl() { return gainControl_; }
  CoreMctl& panControl() { return panControl_; }

  // [any] Vectors in this tree, this one included.
  int32_t treeSize() const;

 private:
  CoreStrg name_;
  bool leaf_ = false;
  std::vector<Child> children_;
  CoreMctl vectorControl_;
  CoreMctl liquidControl_;
  CoreMctl gainpadControl_;
  CoreMctl gainControl_;
  CoreMctl panControl_;
};
