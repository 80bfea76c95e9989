#pragma once

// A click on 按钮1: the temporary folder's copy of the latest backup replaces the save folder.
void onRestoreClicked();
