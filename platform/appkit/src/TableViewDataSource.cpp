#include "appkit/TableViewDataSource.h"

namespace appkit {

TableViewDataSource::~TableViewDataSource() = default;

}  // namespace appkit
