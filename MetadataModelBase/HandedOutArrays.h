#pragma once

// Arrays of host records that the model hands out through its Create...
// operations and takes back through the matching Release... operations.
// Each array is remembered with the count it was made with, so a release
// frees exactly what was allocated whatever count the host passes back, and
// a pointer that was never handed out, or was already given back, is
// refused without touching anything. Arrays the host never gives back are
// freed when the model goes away.

#include <cstddef>
#include <map>
#include <memory>

#include "MetadataModelBase/PluginModelDef.h"
#include "MetadataModelBase/PluginProperty.h"

// Free what one record owns (its content and sub-arrays, never the record
// itself) and null the pointers that referred to it. Every pointer field
// must be null or hold what the model allocated for it, so a record that is
// value-initialised, or filled only part of the way, is freed correctly.
void FreeRecordContent(T_PROPERTY_UI_INFO& item);
void FreeRecordContent(T_CAHNNEL_PROPERTY& channel);
void FreeRecordContent(T_PLUGIN_FILTER_PROFILE& profile);

template <typename Record>
class CHandedOutArrays {
 public:
  // Frees the content of every record, then the array.
  struct ArrayDeleter {
    unsigned int uiCount;
    void operator()(Record* pArray) const {
      for (unsigned int i = 0; i < uiCount; ++i) FreeRecordContent(pArray[i]);
      delete[] pArray;
    }
  };
  typedef std::unique_ptr<Record[], ArrayDeleter> Array;

  CHandedOutArrays() = default;
  CHandedOutArrays(const CHandedOutArrays&) = delete;
  CHandedOutArrays& operator=(const CHandedOutArrays&) = delete;

  // A new array of uiCount value-initialised records (every pointer null),
  // owned by the caller while it fills it.
  static Array Make(unsigned int uiCount) { return Array(new Record[uiCount](), ArrayDeleter{uiCount}); }

  // Keeps a filled array until the host gives it back; returns the pointer
  // to hand out.
  Record* HandOut(Array array) {
    Record* pArray = array.get();
    m_mapArrays.emplace(pArray, std::move(array));
    return pArray;
  }

  // Takes back the array behind *ppArray and nulls the caller's pointer.
  // A null array is accepted with the count 0 only. A pointer that is not
  // outstanding is refused: false, nothing freed, the caller's pointer left.
  // uiSize is otherwise not trusted: the array is freed with its own count.
  bool TakeBack(Record** ppArray, unsigned int uiSize) {
    if (ppArray == nullptr) return false;
    if (*ppArray == nullptr) return uiSize == 0;
    if (m_mapArrays.erase(*ppArray) == 0) return false;
    *ppArray = nullptr;
    return true;
  }

  size_t Outstanding() const { return m_mapArrays.size(); }

 private:
  std::map<Record*, Array> m_mapArrays;
};
