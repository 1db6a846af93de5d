// Arbitrary value texts proposed to every kind of property item, with limits
// and choices that also come from the input.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "MetadataModelBase/MetadataProperty.h"

namespace {

void Require(bool condition) {
  if (!condition) abort();
}

// Whether an item's value is within its limits, and the pair it writes.
std::string Reading(const CMetadataProperty& item) {
  T_METADATA_CONFIG config{"untouched", "untouched"};
  const bool bValid = item.GetPropertySetting(config);
  return (bValid ? "+" : "-") + config.strPropertyID + "=" + config.strValue;
}

// Validation and setting agree; a refused value changes nothing, an accepted
// one reads back as a value that the item accepts again.
void Propose(CMetadataProperty& item, const T_METADATA_CONFIG& proposal) {
  const std::string before = Reading(item);
  const bool bValid = item.IsPropertySettingValid(proposal);
  Require(item.SetPropertySetting(proposal) == bValid);
  const std::string after = Reading(item);
  if (!bValid) {
    Require(after == before);
    return;
  }
  T_METADATA_CONFIG config;
  Require(item.GetPropertySetting(config) && config.strPropertyID == item.GetPropertyID());
  Require(item.SetPropertySetting(config) && Reading(item) == after);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  std::vector<std::unique_ptr<CMetadataProperty>> items;
  auto add = [&items](auto* pItem) {
    items.emplace_back(pItem);
    return pItem;
  };
  auto text = [&input](size_t uiMaxLength) { return input.ConsumeRandomLengthString(uiMaxLength); };
  add(new CPropertyCheckBox());
  CPropertyLineEdit* edits[] = {add(new CPropertyLineEdit()), add(new CPropServerIP()),
                                add(new CPropServerHost())};
  for (CPropertyLineEdit* pEdit : edits) {
    pEdit->SetMaxLength(input.ConsumeIntegralInRange<unsigned int>(0, 300));
    pEdit->SetText(text(300));
    if (input.ConsumeBool()) pEdit->SetInputMode(eNumberOnly);
  }
  CPropertySelectionBase* selections[] = {add(new CPropertyComboBox()), add(new CPropertyRadio())};
  for (CPropertySelectionBase* pSelection : selections) {
    std::vector<T_SELECT_ITEM> choices(input.ConsumeIntegralInRange<size_t>(0, 4));
    for (T_SELECT_ITEM& choice : choices) choice = {text(8), text(8)};
    pSelection->SetItems(choices);
  }
  CPropertyRangeBase* ranges[] = {add(new CPropertySlider()), add(new CPropertySpinBox()),
                                  add(new CPropServerPort())};
  for (CPropertyRangeBase* pRange : ranges) {
    if (!input.ConsumeBool()) continue;
    pRange->SetMinimum(input.ConsumeIntegral<long long>());
    pRange->SetMaximum(input.ConsumeIntegral<long long>());
    pRange->SetValue(input.ConsumeIntegral<long long>());
  }
  for (auto& item : items) item->SetPropertyID(text(16));
  while (input.remaining_bytes() > 0) {
    const T_METADATA_CONFIG proposal{text(16), text(300)};
    for (auto& item : items) Propose(*item, proposal);
  }
  return 0;
}
