-- The delays the sample site's simulated controllers start with: those of
-- the stored doors, one line "ADDRESS,LOCK1,LOCK2,RELAY" per door for
-- doorsim's --delays. A delay the door has not stored is left empty, so the
-- controller keeps its own.
SELECT 地址 || ',' || IFNULL(CAST(delay1 AS INTEGER), '') || ',' || IFNULL(CAST(delay2 AS INTEGER), '')
       || ',' || IFNULL(CAST(delay3 AS INTEGER), '')
FROM doors WHERE 地址 IS NOT NULL ORDER BY CAST(地址 AS INTEGER);
