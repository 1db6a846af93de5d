// Arbitrary value texts through every kind of property item, with items whose
// limits and choices also come from the input.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "MetadataModelBase/MetadataProperty.h"

namespace {

void Require(bool condition) {
  if (!condition) abort();
}

bool SameConfig(const T_METADATA_CONFIG& a, const T_METADATA_CONFIG& b) {
  return a.strPropertyID == b.strPropertyID && a.strValue == b.strValue;
}

struct Reading {
  bool bValid;
  T_METADATA_CONFIG config;
};

Reading Read(const CMetadataProperty& property) {
  Reading reading;
  reading.config.strPropertyID = "untouched";
  reading.config.strValue = "untouched";
  reading.bValid = property.GetPropertySetting(reading.config);
  return reading;
}

bool SameReading(const Reading& a, const Reading& b) { return a.bValid == b.bValid && SameConfig(a.config, b.config); }

bool HasRangeOrChoices(const CMetadataProperty& property) {
  switch (property.GetPropertyType()) {
    case ePluginProperty_ComboBox:
    case ePluginProperty_Radio:
    case ePluginProperty_Slider:
    case ePluginProperty_SpinBox:
      return true;
    default:
      return false;
  }
}

std::vector<T_SELECT_ITEM> FuzzedItems(FuzzedDataProvider& input) {
  std::vector<T_SELECT_ITEM> items(input.ConsumeIntegralInRange<size_t>(0, 4));
  for (T_SELECT_ITEM& item : items) {
    item.strItemID = input.ConsumeRandomLengthString(8);
    item.strText = input.ConsumeRandomLengthString(8);
  }
  return items;
}

void ConfigureRange(FuzzedDataProvider& input, CPropertyRangeBase& property) {
  if (!input.ConsumeBool()) return;
  property.SetMinimum(input.ConsumeIntegral<long long>());
  property.SetMaximum(input.ConsumeIntegral<long long>());
  property.SetValue(input.ConsumeIntegral<long long>());
}

void ConfigureLineEdit(FuzzedDataProvider& input, CPropertyLineEdit& property) {
  if (input.ConsumeBool()) property.SetMaxLength(input.ConsumeIntegralInRange<unsigned int>(0, 300));
  if (input.ConsumeBool()) property.SetText(input.ConsumeRandomLengthString(300));
}

void ConfigureSelection(FuzzedDataProvider& input, CPropertySelectionBase& property) {
  property.SetItems(FuzzedItems(input));
}

using Items = std::vector<std::unique_ptr<CMetadataProperty>>;

template <typename T>
T* Added(Items& items) {
  T* pItem = new T();
  items.emplace_back(pItem);
  return pItem;
}

Items FuzzedItemsOfEveryKind(FuzzedDataProvider& input) {
  Items items;
  Added<CPropertyCheckBox>(items);
  ConfigureLineEdit(input, *Added<CPropertyLineEdit>(items));
  ConfigureLineEdit(input, *Added<CPropServerIP>(items));
  ConfigureLineEdit(input, *Added<CPropServerHost>(items));
  ConfigureSelection(input, *Added<CPropertyComboBox>(items));
  ConfigureSelection(input, *Added<CPropertyRadio>(items));
  ConfigureRange(input, *Added<CPropertySlider>(items));
  ConfigureRange(input, *Added<CPropertySpinBox>(items));
  ConfigureRange(input, *Added<CPropServerPort>(items));
  for (auto& item : items) item->SetPropertyID(input.ConsumeRandomLengthString(16));
  return items;
}

// One proposed value: validation and setting agree, a refused value changes
// nothing, an accepted one reads back as a value the item accepts again and
// a copy of the item reads the same.
void Propose(CMetadataProperty& property, const T_METADATA_CONFIG& proposal) {
  const Reading before = Read(property);
  const bool valid = property.IsPropertySettingValid(proposal);
  Require(property.SetPropertySetting(proposal) == valid);
  const Reading after = Read(property);
  if (!valid) {
    Require(SameReading(before, after));
    return;
  }
  if (HasRangeOrChoices(property)) Require(after.bValid);
  if (after.bValid) {
    Require(after.config.strPropertyID == property.GetPropertyID());
    Require(property.SetPropertySetting(after.config));
    Require(SameReading(after, Read(property)));
  }
  std::unique_ptr<CMetadataProperty> copy(property.Duplicate());
  Require(copy->GetPropertyType() == property.GetPropertyType());
  Require(SameReading(after, Read(*copy)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  Items items = FuzzedItemsOfEveryKind(input);
  while (input.remaining_bytes() > 0) {
    T_METADATA_CONFIG proposal;
    proposal.strPropertyID = input.ConsumeRandomLengthString(16);
    proposal.strValue = input.ConsumeRandomLengthString(300);
    for (auto& item : items) Propose(*item, proposal);
  }
  return 0;
}
