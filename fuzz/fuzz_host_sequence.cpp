// Interface calls on an uninitialised model as a careless host makes them: channels added, deleted and
// renumbered anywhere, lists of cut or unterminated texts and of any size, released twice or never made.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "MetadataModelVantix/MetadataModelVantix.h"

typedef IPluginModel1 Model;
static const unsigned long long kDevice = 7;

// A host text field: one of the known texts or a fuzzed one, or the whole array without a NUL.
template <size_t N>
static void Fill(FuzzedDataProvider& input, char (&field)[N],
                 std::initializer_list<const char* const> known) {
  snprintf(
      field, N, "%s",
      input.ConsumeBool() ? input.PickValueInArray(known) : input.ConsumeRandomLengthString(N + 8).c_str());
  if (input.ConsumeBool()) memset(field, input.ConsumeIntegralInRange<int>(0x20, 0x7e), N);
}

// Each channel is found at its position (or before it, if renumbered alike); nothing lies beyond.
static void CheckChildren(IPluginModel2& model, unsigned long long ullParent) {
  unsigned int uiCount = 0, uiIndex = 0;
  unsigned long long ullID = 0, ullAgain = 0;
  model.GetChannelCount(ullParent, &uiCount);
  for (unsigned int i = 0; i < uiCount; ++i) {
    if (!model.GetChannelID(ullParent, i, &ullID) || !model.GetChannelIndex(ullParent, ullID, &uiIndex) ||
        uiIndex > i || !model.GetChannelID(ullParent, uiIndex, &ullAgain) || ullAgain != ullID)
      abort();
  }
  if (model.GetChannelID(ullParent, uiCount, &ullID)) abort();
}

// Both lists written and read back through one array, sized exactly so that a copy past its end is caught.
static void Configure(FuzzedDataProvider& input, IPluginModel2& model, unsigned long long ullID) {
  std::vector<T_PLUGIN_UI_CONFIG> list(input.ConsumeIntegralInRange<size_t>(0, 6));
  for (T_PLUGIN_UI_CONFIG& entry : list) {
    Fill(input, entry.sPluginID, {"ModelVantixIP", "ModelVantixServerPort", "ModelVantixCH"});
    Fill(input, entry.sValue, {"127.0.0.1", "7000", "0", "512", "localhost", "-1", "65536"});
  }
  model.SetSourceConfigList(list.data(), list.size());
  model.SetChannelConfigList(ullID, list.data(), list.size());
  model.GetSourceConfigList(list.data(), list.size());
  model.GetChannelConfigList(ullID, list.data(), list.size());
}

// A foreign list is refused; a list made is kept (for the model to free) or given back, then refused.
template <typename T>
static void CreateAndRelease(FuzzedDataProvider& input, IPluginModel2& model,
                             bool (Model::*create)(T**, unsigned int*),
                             bool (Model::*release)(T**, unsigned int)) {
  T foreign[2] = {}, *pList = foreign;
  if ((model.*release)(&pList, input.ConsumeIntegralInRange<unsigned int>(0, 2)) || pList != foreign) abort();
  unsigned int uiSize = 0;
  if (!(model.*create)(&pList, &uiSize) || input.ConsumeBool()) return;
  T* pAgain = pList;
  if ((model.*release)(&pList, input.ConsumeBool() ? uiSize : input.ConsumeIntegral<uint8_t>()) &&
      (model.*release)(&pAgain, uiSize))
    abort();
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!freopen("/dev/null", "w", stdout)) abort();  // where every new channel is reported
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  IPluginModel2& model = *static_cast<IPluginModel2*>(CreatePluginModel());
  if (!model.SetDeviceID(kDevice)) abort();
  for (int iStep = 0; iStep < 64 && input.remaining_bytes() > 0; ++iStep) {
    const auto ullParent = input.ConsumeBool() ? kDevice : input.ConsumeIntegralInRange(0ull, 20ull);
    const unsigned long long ullID = input.ConsumeIntegralInRange<unsigned long long>(0, 20);
    T_PLUGIN_ID kind;
    Fill(input, kind.sPluginID, {"ID_VANTIX", "ID_VANTIX_CH"});
    switch (input.ConsumeIntegralInRange<int>(0, 6)) {
      case 0: model.AddChannel(ullParent, ullID, &kind); break;
      case 1: model.DeleteChannel(ullParent, ullID); break;
      case 2: model.SetChannelID(ullParent, ullID % 5, ullID / 2); break;
      case 3: model.SetChannelEnable(ullID, input.ConsumeBool()); break;
      case 4: model.SetChannelPluginID(ullID, &kind); break;
      case 5: Configure(input, model, ullID); break;
      default:
        CreateAndRelease(input, model, &Model::CreateSourcePropertyList, &Model::ReleaseSourcePropertyList);
        CreateAndRelease(input, model, &Model::CreateChannelPropertyList, &Model::ReleaseChannelPropertyList);
        CreateAndRelease(input, model, &Model::CreateFilterProfile, &Model::ReleaseFilterProfile);
    }
    CheckChildren(model, ullParent);
  }
  CheckChildren(model, kDevice);
  if (!ReleasePluginModel(&model)) abort();
  return 0;
}
