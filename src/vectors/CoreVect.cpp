#include "vectors/CoreVect.h"

CoreVect::CoreVect(const CoreStrg& name, CoreSrct& table)
    : name_(name),
      vectorControl_(CoreStrg("Vector Control"), CoreStrg("Vector Control"), CoreStrg(""), -1.0, 1.0, table),
      liquidControl_(CoreStrg("Liquid Control"), CoreStrg("Liquid Control"), CoreStrg(""), -1.0, 1.0, table),
      gainpadControl_(CoreStrg("Gainpad Control"), CoreStrg("Gainpad Control"), CoreStrg(""), -1.0, 1.0, table),
      gainControl_(CoreStrg("Gain Control"), CoreStrg("Gain Control"), CoreStrg(""), -1.0, 1.0, table),
      panControl_(CoreStrg("Pan Control"), CoreStrg("Pan Control"), CoreStrg(""), -1.0, 1.0, table) {}

CoreVect::~CoreVect() = default;

void CoreVect::addChild(Child child) { children_.push_back(std::move(child)); }

void CoreVect::finishChildren() {
  leaf_ = !children_.empty();
  for (const Child& c : children_)
    if (!c.leaf) leaf_ = false;
}

int32_t CoreVect::treeSize() const {
  int32_t n = 1;
  for (const Child& c : children_)
    if (c.vector) n += c.vector->treeSize();
  return n;
}
