#include "UpdateError.h"

namespace vorn::updates {

UpdateError UpdateError::causedBy(UpdateError cause) const {
    UpdateError copy = *this;
    copy.underlying = std::make_shared<UpdateError>(std::move(cause));
    return copy;
}

UpdateError makeUpdateError(long code, std::string description) {
    return UpdateError{updateErrorDomain, code, std::move(description), nullptr};
}

}  // namespace vorn::updates
