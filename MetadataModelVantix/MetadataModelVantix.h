#pragma once

// The face-recognition server model: what it declares about itself, its
// server settings, and the hooks that connect the model base to the event
// receiver and to the host.

#include <cstdint>
#include <memory>
#include <string>

#include "MetadataModelBase/PluginModelBase.h"
#include "MetadataModelVantix/VantixReceiver.h"

class CMetadataModelVantix : public CMetadataModelBase1 {
 public:
  CMetadataModelVantix();
  virtual ~CMetadataModelVantix();

  // Copies the server address and port from the source items into the
  // connection settings; the caller holds m_csSetting.
  bool UpdateConfig();
  void SetLastErrorMessage(int iErrorCode);

 protected:
  virtual bool InitDeviceInfo() override;
  virtual bool InitCategoryType() override;
  virtual bool InitChannelInfo() override;
  virtual bool InitChannelRelation() override;
  virtual bool InitPropertyItem() override;
  virtual bool InitialModel() override;
  virtual bool UninitialModel() override;
  virtual bool ConnectModel() override;
  virtual bool DisconnectModel() override;
  virtual bool InitFilterProfile() override;
  virtual bool InitSupportEventList() override;
  virtual void DistributeMetadata(const char* sMetadata, int iMetadataLen) override;

 private:
  friend class CModelTestDoor;

  // The worker's own: UpdateConfig writes them, ConnectModel reads them.
  std::string m_strServerIP;
  unsigned short m_usServerPort;
  // Made by Initialize and destroyed by Uninitialize on the host's thread,
  // while no worker runs; used by the worker in between.
  std::unique_ptr<CVantixReceiver> m_pReceiver;
};

// Entry points that the host looks up by name.
extern "C" {
__attribute__((visibility("default"))) IPluginModel1* CreatePluginModel();
__attribute__((visibility("default"))) bool ReleasePluginModel(IPluginModel1* pModel);
}
