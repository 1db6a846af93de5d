// Interface calls on an uninitialised model as a careless host makes them: channels added, deleted and
// renumbered anywhere, lists of cut or unterminated texts and of any size, released twice or never made.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "MetadataModelVantix/MetadataModelVantix.h"

namespace {

typedef IPluginModel1 Model;
const unsigned long long kDevice = 7;

void Require(bool condition) {
  if (!condition) abort();
}

// A host text field: one of the known texts or a fuzzed one, or the whole array without a NUL.
template <size_t N>
void Fill(FuzzedDataProvider& input, char (&field)[N], const std::vector<const char*>& known) {
  snprintf(field, N, "%s",
           input.ConsumeBool() ? known[input.ConsumeIntegralInRange<size_t>(0, known.size() - 1)]
                               : input.ConsumeRandomLengthString(N + 8).c_str());
  if (input.ConsumeBool()) memset(field, input.ConsumeIntegralInRange<int>(0x20, 0x7e), N);
}

// Each channel is found at its position (or before it, if renumbered alike); nothing lies beyond.
void CheckChildren(IPluginModel2& model, unsigned long long ullParent) {
  unsigned int uiCount = 0;
  unsigned long long ullIDs[2] = {0, 0};
  for (unsigned int i = 0, uiIndex = 0; model.GetChannelCount(ullParent, &uiCount) && i < uiCount; ++i) {
    Require(model.GetChannelID(ullParent, i, &ullIDs[0]) &&
            model.GetChannelIndex(ullParent, ullIDs[0], &uiIndex) && uiIndex <= i &&
            model.GetChannelID(ullParent, uiIndex, &ullIDs[1]) && ullIDs[1] == ullIDs[0]);
  }
  Require(!model.GetChannelID(ullParent, uiCount, &ullIDs[0]));
}

// Writes the source's and a channel's list, then reads them back through an array of any size.
void Configure(FuzzedDataProvider& input, IPluginModel2& model, unsigned long long ullID) {
  std::vector<T_PLUGIN_UI_CONFIG> list(input.ConsumeIntegralInRange<size_t>(0, 6));
  for (T_PLUGIN_UI_CONFIG& entry : list) {
    Fill(input, entry.sPluginID, {"ModelVantixIP", "ModelVantixServerPort", "ModelVantixCH"});
    Fill(input, entry.sValue, {"127.0.0.1", "7000", "0", "512", "localhost", "-1", "65536"});
  }
  const unsigned int uiSize = input.ConsumeIntegralInRange<unsigned int>(0, list.size());
  model.SetSourceConfigList(list.data(), uiSize);
  model.SetChannelConfigList(ullID, list.data(), uiSize);
  model.GetSourceConfigList(list.data(), uiSize);
  model.GetChannelConfigList(ullID, list.data(), uiSize);
}

// A foreign list is refused; a list made is kept (for the model to free) or given back, then refused.
template <typename T>
void CreateAndRelease(FuzzedDataProvider& input, IPluginModel2& model,
                      bool (Model::*create)(T**, unsigned int*), bool (Model::*release)(T**, unsigned int)) {
  T foreign[2] = {};
  T* pList = foreign;
  Require(!(model.*release)(&pList, input.ConsumeIntegralInRange<unsigned int>(0, 2)) && pList == foreign);
  unsigned int uiSize = 0;
  if (!(model.*create)(&pList, &uiSize) || input.ConsumeBool()) return;
  T* pAgain = pList;
  if ((model.*release)(&pList, input.ConsumeBool() ? uiSize : input.ConsumeIntegral<uint8_t>())) {
    Require(!(model.*release)(&pAgain, uiSize));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Require(freopen("/dev/null", "w", stdout) != nullptr);  // where every new channel is reported
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  IPluginModel2& model = *static_cast<IPluginModel2*>(CreatePluginModel());
  Require(model.SetDeviceID(kDevice));
  std::vector<unsigned long long> parents{kDevice};
  for (int iStep = 0; iStep < 64 && input.remaining_bytes() > 0; ++iStep) {
    const unsigned long long ullParent = parents[input.ConsumeIntegralInRange<size_t>(0, parents.size() - 1)];
    const unsigned long long ullID = input.ConsumeIntegralInRange<unsigned long long>(0, 20);
    T_PLUGIN_ID kind;
    Fill(input, kind.sPluginID, {"ID_VANTIX", "ID_VANTIX_CH"});
    const int iCall = input.ConsumeIntegralInRange<int>(0, 5);
    if (iCall == 0 && model.AddChannel(ullParent, ullID, &kind)) parents.push_back(ullID);
    if (iCall == 1) model.DeleteChannel(ullParent, ullID);
    if (iCall == 2 && model.SetChannelID(ullParent, ullID % 5, ullID / 2)) parents.push_back(ullID / 2);
    if (iCall == 3) model.SetChannelEnable(ullID, input.ConsumeBool());
    if (iCall == 3) model.SetChannelPluginID(ullID, &kind);
    if (iCall == 4) Configure(input, model, ullID);
    if (iCall == 5) {
      CreateAndRelease(input, model, &Model::CreateSourcePropertyList, &Model::ReleaseSourcePropertyList);
      CreateAndRelease(input, model, &Model::CreateChannelPropertyList, &Model::ReleaseChannelPropertyList);
      CreateAndRelease(input, model, &Model::CreateFilterProfile, &Model::ReleaseFilterProfile);
    }
    CheckChildren(model, ullParent);
  }
  CheckChildren(model, kDevice);
  Require(ReleasePluginModel(&model));
  return 0;
}
