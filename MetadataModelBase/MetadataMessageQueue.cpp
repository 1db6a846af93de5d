#include "MetadataModelBase/MetadataMessageQueue.h"

#include "MetadataModelBase/MetadataAssert.h"
#include "utility/sysutils/apr/apr_cond.h"

CMetadataMessage::CMetadataMessage()
    : m_eMsg(eMETADATA_MSG_NOOPERATION), m_pParam(nullptr), m_pEvent(nullptr) {}

CMetadataMessage::CMetadataMessage(const CMetadataMessage& other)
    : m_eMsg(other.m_eMsg), m_pParam(other.m_pParam), m_pEvent(other.m_pEvent) {}

CMetadataMessage& CMetadataMessage::operator=(const CMetadataMessage& other) {
  m_eMsg = other.m_eMsg;
  m_pParam = other.m_pParam;
  m_pEvent = other.m_pEvent;
  return *this;
}

CMetadataMessage::~CMetadataMessage() {}

void CMetadataMessage::SetMessage(E_METADATA_MSG eMsg, void* pParam, SysUtils::AprCond* pEvent) {
  m_eMsg = eMsg;
  m_pParam = pParam;
  m_pEvent = pEvent;
}

void CMetadataMessage::MessageProcessed() {
  const bool bConnection = m_eMsg == eMETADATA_MSG_CONNECT || m_eMsg == eMETADATA_MSG_DISCONNECT;
  if (bConnection && m_pParam != nullptr) METADATA_ASSERT_FAIL(METADATA_SRC_MESSAGE_QUEUE);
  m_eMsg = eMETADATA_MSG_NOOPERATION;
  if (m_pEvent != nullptr) {
    SysUtils::AprCond* pEvent = m_pEvent;
    m_pEvent = nullptr;
    pEvent->set();
  }
}

bool CMetadataMessage::WithdrawEvent(const SysUtils::AprCond* pEvent) {
  if (m_pEvent == nullptr || m_pEvent != pEvent) return false;
  m_pEvent = nullptr;
  return true;
}

void CMetadataMessageQueue::PushMessage(E_METADATA_MSG eMsg, void* pParam, SysUtils::AprCond* pEvent) {
  CMetadataMessage msg;
  msg.SetMessage(eMsg, pParam, pEvent);
  push_back(msg);
}
