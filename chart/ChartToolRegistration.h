#pragma once
// The sixteen chart tool classes (the cursor, colour band and colour line
// tools and the other tools) enter the chart's tool-type registry,
// ChartToolTypes(), at the program's start-up and leave it at shut-down.
// Apart from the chart headers, so that windows using other controls can
// call it.
void RegisterChartToolTypes();
void RemoveChartToolTypes();
