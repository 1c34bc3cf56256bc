/* Обновление, файл которого обрезан посреди оператора: всё до обрыва было бы выполнено. */

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
INSERT INTO WAREHOUSE_CELLS (ID, NAME) VALUES (2, 'Стел