-- The delays the sample site's simulated controllers start with: those of
-- the stored doors, one line "ADDRESS,LOCK1,LOCK2,RELAY" per door for
-- doorsim's --delays (a door without one of them yields an empty line).
SELECT 地址 || ',' || CAST(delay1 AS INTEGER) || ',' || CAST(delay2 AS INTEGER) || ',' || CAST(delay3 AS INTEGER)
FROM doors ORDER BY CAST(地址 AS INTEGER);
