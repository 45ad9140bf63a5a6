-- The pristine results database: MU_Data starts with the map-unit key and symbol and gains
-- one column per stored rating during a session. Built into quillon-results.sqlite.
BEGIN;
CREATE TABLE MU_Data (
  mukey VARCHAR(30),
  musym VARCHAR(6)
);
COMMIT;
