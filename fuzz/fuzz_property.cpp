// Arbitrary value texts proposed to every kind of property item, with limits and choices from the input.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "MetadataModelBase/MetadataProperty.h"

// Whether an item's value is within its limits, and the pair it writes.
static std::string Reading(const CMetadataProperty& item, T_METADATA_CONFIG& config) {
  config = {"untouched", "untouched"};
  const bool bValid = item.GetPropertySetting(config);
  return (bValid ? "+" : "-") + config.strPropertyID + "=" + config.strValue;
}

// Validation and setting agree; a refused value changes nothing, an accepted one reads back, under the
// item's identifier and within its limits, as a value that the item accepts again unchanged.
static void Propose(CMetadataProperty& item, const T_METADATA_CONFIG& proposal) {
  T_METADATA_CONFIG config;
  const std::string before = Reading(item, config);
  const bool bValid = item.IsPropertySettingValid(proposal);
  if (item.SetPropertySetting(proposal) != bValid) abort();
  const std::string after = Reading(item, config);
  if (after != (bValid ? "+" + item.GetPropertyID() + "=" + config.strValue : before)) abort();
  if (bValid && (!item.SetPropertySetting(config) || Reading(item, config) != after)) abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  auto text = [&input](size_t uiMaxLength) { return input.ConsumeRandomLengthString(uiMaxLength); };
  std::vector<std::unique_ptr<CMetadataProperty>> items;
  auto add = [&items](auto* pItem) {
    items.emplace_back(pItem);
    return pItem;
  };
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
