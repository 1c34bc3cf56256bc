/* Обновление, сохранённое в UTF-8 вместо Windows-1251: выполнилось бы без ошибок, но записало
   бы в базу искажённый текст. */

SET NAMES WIN1251;
SET SQL DIALECT 3;
SET AUTODDL ON;

execute procedure Check_Versio(7);
commit;
reconnect;

CREATE TABLE WAREHOUSE_CELLS (
  ID D_ID,
  NAME D_NAME NOT NULL,
  CONSTRAINT PK_WAREHOUSE_CELLS PRIMARY KEY (ID)
);
commit;

INSERT INTO WAREHOUSE_CELLS (ID, NAME) VALUES (1, 'Стеллаж А, полка 1');
UPDATE VERSIO SET VERSIO_NO = 7, APPLIED_AT = CURRENT_TIMESTAMP;
commit;
