// The base object's out-of-line destructor anchors its virtual table here.
#include "ZentrelPlatform.h"

CObject::~CObject() = default;
