#include "net/request/transfer_result.h"

const char* TransferErrorName(TransferError error) {
  switch (error) {
    case TransferError::None:
      return "None";
    case TransferError::Resolve:
      return "Resolve";
    case TransferError::Connect:
      return "Connect";
    case TransferError::TlsRefused:
      return "TlsRefused";
    case TransferError::Send:
      return "Send";
    case TransferError::CutShort:
      return "CutShort";
    case TransferError::Malformed:
      return "Malformed";
    case TransferError::Stalled:
      return "Stalled";
    case TransferError::ReceiveFailed:
      return "ReceiveFailed";
    case TransferError::HttpStatus:
      return "HttpStatus";
    case TransferError::ProxyAuthRequired:
      return "ProxyAuthRequired";
    case TransferError::UnsupportedScheme:
      return "UnsupportedScheme";
    case TransferError::MalformedUrl:
      return "MalformedUrl";
    case TransferError::RangeRefused:
      return "RangeRefused";
    case TransferError::RedirectRefused:
      return "RedirectRefused";
    case TransferError::RedirectMalformed:
      return "RedirectMalformed";
    case TransferError::TooManyRedirects:
      return "TooManyRedirects";
  }
  return "Unknown";
}
