#include <QWidget>
#include <pulse/simple.h>
#include "base/text.h"
