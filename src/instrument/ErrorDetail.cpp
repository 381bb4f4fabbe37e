#include "ErrorDetail.h"

#include "CommX.h"
#include "Errors.h"
#include "TextFile.h"

namespace myrl {

std::string ErrorDetail(const std::exception& e) {
    if (const auto* c = dynamic_cast<const ECommError*>(&e)) {
        return CommErrorDetail(c->Device, c->Errno);
    }
    if (const auto* f = dynamic_cast<const EInOutError*>(&e)) {
        return InOutErrorDetail(*f);
    }
    if (const auto* n = dynamic_cast<const EConvertError*>(&e)) {
        return n->Detail;
    }
    return {};
}

std::string ErrorReason(const std::exception& e) {
    const std::string detail = ErrorDetail(e);
    return detail.empty() ? e.what() : detail;
}

} // namespace myrl
