#include "scanning/UEngineStatus.h"

TEngineStatusOutcome EngineStatusOutcome(int32_t Status, const std::string& ScannerID)
{
  TEngineStatusOutcome o;
  switch (static_cast<uint32_t>(Status)) {
    case 0:
    case 5:
    case 6:
      o.PageDelivered = true;
      break;
    case 1:
      o.Message = ScannerID == "401" ? nullptr : "扫描仪没有正确连接或者扫描仪缺纸！";
      o.Kind = mkWarning;
      o.Result = -1;
      break;
    case 2:
      o.Message = "发票扫描结束！";
      o.Kind = mkInformation;
      o.Result = 0;
      break;
    case 4:
      o.Message = "扫描仪卡纸！";
      o.Kind = mkError;
      o.Result = 2;
      break;
    case 16:
      o.Message = "无法识别的发票！";
      o.Kind = mkError;
      o.Result = 2;
      break;
    default:
      o.Message = "从扫描-识别系统读取新发票数据失败！";
      o.Kind = mkError;
      o.Result = 2;
      break;
  }
  return o;
}
